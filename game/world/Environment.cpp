#include "world/Environment.h"

#include "core/GameClock.h"

#include <cmath>

namespace
{
// Per season: the particle system's name and the weather it brings.
struct Season
{
    const char* particles;
    int weather;
};
const Season kSeasons[4] = {
    {"樱", WEATHER_BLOSSOM}, {"雨", WEATHER_RAIN}, {"枫", WEATHER_MAPLE}, {"雪", WEATHER_SNOW}};

int Clamp(int value, int low, int high)
{
    return value < low ? low : value > high ? high : value;
}

double Now()
{
    return GameSeconds();
}
} // namespace

CEnvironment::CEnvironment()
    : m_dLastStep(0.0), m_nRateIndex(1), m_nSeason(1), m_nStartHour(1), m_bWeather(false),
      m_nWeatherKind(WEATHER_NONE), m_apWeather{}, m_pMusic(nullptr)
{
}

CEnvironment::~CEnvironment()
{
    Release();
}

void CEnvironment::Load(const char* settingsFile, float& hour)
{
    Release();
    CZanIni ini(settingsFile ? settingsFile : "");
    m_nSeason = Clamp(ini.GetInt("设置", "季节", 1), 0, 3);
    m_nRateIndex = Clamp(ini.GetInt("设置", "时间速率", 1), 0, 7);
    m_nStartHour = ini.GetInt("设置", "开始时间", 1);
    m_bWeather = ini.GetInt("设置", "天气变化", 1) != 0;
    const std::string music = ini.GetString("设置", "背景音乐", "背景音乐");

    CZanResourceMgr* resources = CZanResourceMgr::Instance();
    if (m_bWeather)
    {
        // Rain falls slanted from the right, so its box ends at the screen's right edge.
        CZanVector from(0.0f, -200.0f), to(m_nSeason == 1 ? 900.0f : 1200.0f, 600.0f);
        const Season& season = kSeasons[m_nSeason];
        ZanParticleSystemInfo* info =
            resources ? resources->GetParticleInfo(season.particles) : nullptr;
        if (info)
        {
            CZanParticleSystem*& system = m_apWeather[season.weather - 1];
            system = new CZanParticleSystem(info);
            system->SetBoundBox(CZanRect(from, to));
        }
        m_nWeatherKind = season.weather;
    }

    if (ZanAudio* audio = resources ? resources->GetAudioInfo(music.c_str()) : nullptr)
    {
        m_pMusic = new CZanOggStream;
        m_pMusic->LoadSound(audio->strPath.c_str(), audio->bLoop);
        m_pMusic->PlaySoundA();
    }

    hour = float(m_nStartHour);
    m_dLastStep = Now();
}

void CEnvironment::Step(float& hour)
{
    if (Now() - m_dLastStep > 0.01)
    {
        hour += HoursPerStep(m_nRateIndex);
        if (m_bWeather)
            WeatherStep(hour);
        if (hour > 23.999f)
        {
            if (m_bWeather)
                m_nWeatherKind = kSeasons[m_nSeason].weather;
            hour = 0.0f;
        }
        m_dLastStep = Now();
    }
    for (CZanParticleSystem* system : m_apWeather)
        if (system)
            system->Update();
    if (m_pMusic)
        m_pMusic->Update();
}

void CEnvironment::WeatherStep(float hour)
{
    if (m_nWeatherKind < WEATHER_RAIN || m_nWeatherKind > WEATHER_MAPLE)
        return;
    CZanParticleSystem* system = m_apWeather[m_nWeatherKind - 1];
    if (!system)
        return;
    if (InStartWindow(m_nSeason, hour))
    {
        if (m_nWeatherKind == WEATHER_RAIN)
            system->FireWidth(CZanVector(500.0f, -100.0f), 800.0f, 10.0f);
        else
            system->FireWidth(CZanVector(600.0f, -100.0f), 1000.0f, 10.0f);
    }
    else if (InStopWindow(m_nSeason, hour))
        system->Stop();
}

void CEnvironment::Pause()
{
    if (m_pMusic)
        m_pMusic->PauseSound();
}

void CEnvironment::Resume()
{
    if (m_pMusic)
        m_pMusic->ResumeSound();
}

void CEnvironment::Release()
{
    for (CZanParticleSystem*& system : m_apWeather)
    {
        delete system;
        system = nullptr;
    }
    delete m_pMusic;
    m_pMusic = nullptr;
}

CZanParticleSystem* CEnvironment::GetWeatherSystem(int kind) const
{
    return kind >= WEATHER_RAIN && kind <= WEATHER_MAPLE ? m_apWeather[kind - 1] : nullptr;
}
