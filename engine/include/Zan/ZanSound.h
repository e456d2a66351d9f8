// The sound device. (Only the face the engine core calls.)
#pragma once

/// Holds the audio device and context, both closed until Open.
class CZanSoundDevice
{
public:
    bool Open();
    void Close();
};
