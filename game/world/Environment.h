// The day clock, the season's weather and the background music that the menu, the wait
// screen and the levels share, and the day tint the scenery takes from the hour.
#pragma once

#include "ZanEngine.h"

class CZanParticleSystem;
class CZanOggStream;

/// Weather kinds; a season brings one of them.
enum EWeather
{
    WEATHER_NONE = 0,
    WEATHER_RAIN = 1,
    WEATHER_SNOW = 2,
    WEATHER_BLOSSOM = 3,
    WEATHER_MAPLE = 4
};

/// Owns the weather particle system and the music stream of one scene. The hour itself is the
/// scene's (CScene::m_fHour); the environment advances it.
class CEnvironment
{
public:
    CEnvironment();
    ~CEnvironment();

    /// Reads section "设置" of the settings file ("季节", "时间速率", "开始时间", "天气变化",
    /// "背景音乐"), creates the season's weather system when the weather is on, starts the
    /// music and sets `hour` to the start hour. A rate index or season outside its table is
    /// clamped into it.
    void Load(const char* settingsFile, float& hour);
    /// Once per frame: every 10 ms of exact time the clock moves one step (and the weather
    /// with it); the particle system and the music stream update every frame.
    void Step(float& hour);
    /// The music stops while the window has no focus and goes on where it was.
    void Pause();
    void Resume();
    /// Deletes the weather systems and the music.
    void Release();

    int GetRateIndex() const { return m_nRateIndex; }
    int GetSeason() const { return m_nSeason; }
    int GetStartHour() const { return m_nStartHour; }
    bool IsWeatherOn() const { return m_bWeather; }
    int GetWeatherKind() const { return m_nWeatherKind; }
    /// The system of a weather kind (1 to 4), or null when it was not created.
    CZanParticleSystem* GetWeatherSystem(int kind) const;
    CZanOggStream* GetMusic() const { return m_pMusic; }

    /// Hours one clock step adds at a rate index (clamped into 0 .. 7).
    static float HoursPerStep(int rateIndex);
    /// True while `hour` lies inside a window where the season's weather starts or stops.
    static bool InStartWindow(int season, float hour);
    static bool InStopWindow(int season, float hour);
    /// The colour of the sky at an hour: dark blue at midnight, white at noon.
    static CZanColor DayTint(float hour, float alpha);

private:
    CEnvironment(const CEnvironment&) = delete;
    CEnvironment& operator=(const CEnvironment&) = delete;

    void WeatherStep(float hour);

    double m_dLastStep;
    int m_nRateIndex;
    int m_nSeason;
    int m_nStartHour;
    bool m_bWeather;
    int m_nWeatherKind;
    CZanParticleSystem* m_apWeather[4]; ///< rain, snow, blossom, maple
    CZanOggStream* m_pMusic;
};

/// The current scene's hour, or 0 when there is no scene.
float CurrentHour();
