// The source operations every sound shares, and the Ogg reader of the two Ogg classes.
#include "Sound/SoundShared.h"

void CZanAudioFile::PlaySoundA()
{
    // The silent device mixes the time before the start now, or the sound would seem to
    // have started that much earlier.
    ZanSoundCatchUp();
    alSourcePlay(m_nSource);
}

void CZanAudioFile::StopSound()
{
    alSourceStop(m_nSource);
}

void CZanAudioFile::RewindSound()
{
    alSourceRewind(m_nSource);
}

void CZanAudioFile::PauseSound()
{
    alSourcePause(m_nSource);
}

void CZanAudioFile::SetLoop(bool loop)
{
    alSourcei(m_nSource, AL_LOOPING, loop ? AL_TRUE : AL_FALSE);
}

void CZanAudioFile::SetSourceRelative()
{
    alSourcei(m_nSource, AL_SOURCE_RELATIVE, AL_TRUE);
}

bool CZanAudioFile::IsPlaying()
{
    ZanSoundCatchUp();
    ALint state = AL_INITIAL;
    alGetSourcei(m_nSource, AL_SOURCE_STATE, &state);
    return state == AL_PLAYING;
}

void CZanAudioFile::SetSourcePosition(float x, float y)
{
    alSource3f(m_nSource, AL_POSITION, x, y, 0.0f);
}

void CZanAudioFile::SetSourceVelocity(float x, float y)
{
    alSource3f(m_nSource, AL_VELOCITY, x, y, 0.0f);
}

void CZanAudioFile::SetSourceDirection(float x, float y)
{
    alSource3f(m_nSource, AL_DIRECTION, x, y, 0.0f);
}

void CZanAudioFile::SetListenerPosition(float x, float y)
{
    alListener3f(AL_POSITION, x, y, 0.0f);
}

void CZanAudioFile::SetListenerOrientation(float atX, float atY, float upX, float upY)
{
    const ALfloat orientation[6] = {atX, atY, 0.0f, upX, upY, 0.0f};
    alListenerfv(AL_ORIENTATION, orientation);
}

void CZanAudioFile::Check()
{
    alGetError();
}

void CZanAudioFile::SetUpSource(bool loop)
{
    SetSourcePosition(0.0f, 0.0f);
    SetSourceVelocity(0.0f, 0.0f);
    SetSourceDirection(0.0f, 0.0f);
    SetListenerPosition(0.0f, 0.0f);
    SetListenerOrientation(0.0f, 0.0f, 0.0f, 0.0f);
    alSourcef(m_nSource, AL_PITCH, 1.0f);
    alSourcef(m_nSource, AL_GAIN, 1.0f);
    SetLoop(loop);
}

long ZanOggRead(OggVorbis_File* file, char* out, long bytes)
{
    const vorbis_info* info = ov_info(file, -1);
    if (!info)
        return OV_EINVAL;
    int section = 0;
    if (info->channels <= 2)
        return ov_read(file, out, int(bytes), 0, 2, 1, &section);

    // Wider streams are played as their first two channels.
    char block[16384];
    const long inFrame = long(info->channels) * 2;
    long frames = bytes / 4;
    if (frames > long(sizeof block) / inFrame)
        frames = long(sizeof block) / inFrame;
    const long got = ov_read(file, block, int(frames * inFrame), 0, 2, 1, &section);
    if (got <= 0)
        return got;
    const long done = got / inFrame;
    for (long i = 0; i < done; ++i)
        std::memcpy(out + i * 4, block + i * inFrame, 4);
    return done * 4;
}
