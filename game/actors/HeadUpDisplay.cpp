#include "actors/HeadUpDisplay.h"

#include <algorithm>

namespace
{
CZanResPtr<CZanAnim> MakeDigit(float scale)
{
    CZanResPtr<CZanAnim> digit = CZanResourceMgr::Instance()->CreateAnim("数字");
    digit->SetScale(scale, scale);
    return digit;
}

// A value the digits cannot hold would ask the animation for a frame it lacks.
int Clamp(int value, int largest)
{
    return std::min(std::max(value, 0), largest);
}
} // namespace

CScoreDisplay::CScoreDisplay(int value) : m_nValue(0), m_fX(0.0f), m_fY(0.0f)
{
    for (CZanResPtr<CZanAnim>& digit : m_aDigits)
        digit = MakeDigit(0.25f);
    Set(value);
}

void CScoreDisplay::Place(float x, float y)
{
    m_fX = x;
    m_fY = y;
    for (int k = 0; k < DIGITS; ++k)
        m_aDigits[k]->SetPosition(x + 19.0f * k, y);
}

void CScoreDisplay::Set(int value)
{
    m_nValue = value;
    int rest = Clamp(value, MAX_VALUE);
    int power = 1000000;
    for (int k = 0; k < DIGITS; ++k, power /= 10)
    {
        m_aDigits[k]->SetFrame(rest / power);
        rest %= power;
    }
}

CTwoDigitDisplay::CTwoDigitDisplay(const char* plate, int value)
    : m_nValue(0), m_Plate(CZanResourceMgr::Instance()->CreateSprite(plate)),
      m_Tens(MakeDigit(0.5f)), m_Ones(MakeDigit(0.5f))
{
    Set(value);
}

void CTwoDigitDisplay::PlaceAt(float x, float y, float tensDx, float onesDx, float dy)
{
    m_Plate->SetPosition(x, y);
    m_Tens->SetPosition(x + tensDx, y + dy);
    m_Ones->SetPosition(x + onesDx, y + dy);
}

void CTwoDigitDisplay::Set(int value)
{
    m_nValue = value;
    const int shown = Clamp(value, MAX_VALUE);
    m_Tens->SetFrame(shown / 10);
    m_Ones->SetFrame(shown % 10);
}

CLifeDisplay::CLifeDisplay(int count)
    : m_nCount(0), m_Plate(CZanResourceMgr::Instance()->CreateSprite("底板1"))
{
    for (CZanResPtr<CZanSprite>& heart : m_aHearts)
        heart = CZanResourceMgr::Instance()->CreateSprite("心");
    Set(count);
}

void CLifeDisplay::Place(float x, float y)
{
    m_Plate->SetPosition(x, y);
    for (int k = 0; k < HEARTS; ++k)
        m_aHearts[k]->SetPosition(x - 3.0f + 27.0f * k, y);
}

void CLifeDisplay::Set(int count)
{
    m_nCount = count;
    for (int k = 0; k < HEARTS; ++k)
        m_aHearts[k]->SetVisible(k < count);
}
