// The pure parts of the environment: rate and season tables, weather windows, day tint.
#include "world/Environment.h"

#include "core/Scene.h"

#include <cmath>

namespace
{
const float kHoursPerStep[8] = {0.001f, 0.002f, 0.005f, 0.01f, 0.02f, 0.05f, 0.1f, 0.2f};

bool Inside(float hour, float from)
{
    return hour > from && hour < from + 0.3f;
}

// Rain and snow come morning and afternoon; blossom and leaves once, over the day.
bool TwiceADay(int season)
{
    return season == 1 || season == 3;
}
} // namespace

float CEnvironment::HoursPerStep(int rateIndex)
{
    return kHoursPerStep[rateIndex < 0 ? 0 : rateIndex > 7 ? 7 : rateIndex];
}

bool CEnvironment::InStartWindow(int season, float hour)
{
    return TwiceADay(season) ? Inside(hour, 4.0f) || Inside(hour, 16.0f) : Inside(hour, 9.0f);
}

bool CEnvironment::InStopWindow(int season, float hour)
{
    return TwiceADay(season) ? Inside(hour, 7.0f) || Inside(hour, 19.0f) : Inside(hour, 15.0f);
}

CZanColor CEnvironment::DayTint(float hour, float alpha)
{
    const float s = std::sin(hour * 0.2617994f - 1.5707964f);
    CZanColor color(0xff90a0c0UL);
    color.red += s * 0.4372549f;
    color.green += s * 0.34313726f;
    color.blue += s * 0.24901961f;
    color.alpha = alpha;
    color.Clamp();
    return color;
}

float CurrentHour()
{
    CScene* scene = CurrentScene();
    return scene ? scene->GetHour() : 0.0f;
}
