// The head-up display of a level: remaining time, lives, scores and counters.
//
// Displays are plain objects owned by the level, built from the level's resources: the digit
// animation "数字" (frame n shows the digit n), the plates "底板1" and "底板2" and the heart "心".
// They take no part in physics and are not engine objects. Each releases its drawables when
// deleted.
#pragma once

#include "ZanEngine.h"

/// A seven-digit score, most significant digit first, 19 pixels apart.
class CScoreDisplay
{
public:
    enum
    {
        DIGITS = 7,
        MAX_VALUE = 9999999
    };

    explicit CScoreDisplay(int value);
    void Place(float x, float y);
    /// Values past seven digits show 9999999, negative ones 0.
    void Set(int value);
    int GetValue() const { return m_nValue; }
    /// The frame digit k shows (0 is the most significant).
    int GetDigit(int k) const { return m_aDigits[k]->GetFrame(); }

private:
    int m_nValue;
    CZanResPtr<CZanAnim> m_aDigits[DIGITS];
    float m_fX, m_fY;
};

/// Two digits on a plate: the counter at the bottom of the screen (plate "底板1") and the
/// countdown at the top (plate "底板2") differ only in plate and digit placement.
class CTwoDigitDisplay
{
public:
    enum
    {
        MAX_VALUE = 99
    };

    /// Values past two digits show 99, negative ones 0.
    void Set(int value);
    int GetValue() const { return m_nValue; }
    int GetTens() const { return m_Tens->GetFrame(); }
    int GetOnes() const { return m_Ones->GetFrame(); }

protected:
    CTwoDigitDisplay(const char* plate, int value);
    /// Plate at (x, y), digits at the given offsets from it.
    void PlaceAt(float x, float y, float tensDx, float onesDx, float dy);

private:
    int m_nValue;
    CZanResPtr<CZanSprite> m_Plate;
    CZanResPtr<CZanAnim> m_Tens;
    CZanResPtr<CZanAnim> m_Ones;
};

/// A per-bird two-digit counter on plate "底板1".
class CCounterDisplay : public CTwoDigitDisplay
{
public:
    explicit CCounterDisplay(int value) : CTwoDigitDisplay("底板1", value) {}
    void Place(float x, float y) { PlaceAt(x, y, 8.0f, 42.0f, 2.0f); }
};

/// The remaining seconds on plate "底板2".
class CCountdownDisplay : public CTwoDigitDisplay
{
public:
    explicit CCountdownDisplay(int value) : CTwoDigitDisplay("底板2", value) {}
    void Place(float x, float y) { PlaceAt(x, y, -15.0f, 18.0f, 0.0f); }
};

/// Up to three hearts on plate "底板1".
class CLifeDisplay
{
public:
    enum
    {
        HEARTS = 3
    };

    explicit CLifeDisplay(int count);
    void Place(float x, float y);
    /// Heart k is visible exactly when k < count.
    void Set(int count);
    int GetCount() const { return m_nCount; }
    bool IsHeartVisible(int k) const { return m_aHearts[k]->IsVisible(); }

private:
    int m_nCount;
    CZanResPtr<CZanSprite> m_Plate;
    CZanResPtr<CZanSprite> m_aHearts[HEARTS];
};
