/// \file
/// Sound: the OpenAL device and the playable sounds.
///
/// Step by step:
///   1. The engine opens the one sound device in SystemInitiate and closes it in
///      SystemShutdown; games never open it themselves.
///   2. A game makes its own sound objects: CZanWave or CZanOgg for effects (decoded whole into
///      one buffer, played as often as wanted; a CZanOgg over 30 s streams by itself),
///      CZanOggStream for music (decoded in 64 KiB chunks while it plays). LoadSound once,
///      then play, stop, pause as wanted.
///   3. CZanOggStream needs Update() from its owner every frame; nothing else refills it.
///   4. Destroy every sound (DestroySound or delete) before the engine shuts down: the OpenAL
///      names it holds die with the device.
///
/// Bad input: a missing or unreadable file writes one error record to the run log and leaves
/// the object silent (source 0); every operation on it is then harmless. OpenAL errors of
/// sources and buffers are cleared and never reported. All paths are GBK.
#pragma once

#include "Zan/ZanResource.h"

#include <AL/al.h>
#include <AL/alc.h>
#include <cstdint>
#include <cstdio>

// The decoder's default callback tables are unused statics in every file that sees them.
#ifndef OV_EXCLUDE_STATIC_CALLBACKS
#define OV_EXCLUDE_STATIC_CALLBACKS
#endif
#include <vorbis/vorbisfile.h>

/// The process's one OpenAL device and its current context. Made when the library loads,
/// opened by CZanEngine::SystemInitiate, closed by SystemShutdown.
///
/// On a machine with no sound output at all the device opens silently: sounds load, play,
/// stop and stream exactly as on a real device, only nobody hears them. A silent device has no
/// mixer of its own; it mixes the time that passed on the platform clock whenever a sound is
/// played, queried (IsPlaying) or updated (CZanOggStream::Update), or when Mix() is called.
class CZanSoundDevice
{
public:
    CZanSoundDevice();
    /// Closes the device if it is still open.
    ~CZanSoundDevice();

    /// Opens the output device, makes one context current and writes
    /// "OPENAL 音频设备创建成功". Without any output device it opens the silent device, with
    /// a warning record before that one. False, with "OPENAL 音频设备创建失败", only when not
    /// even that is possible. Opening an open device changes nothing and returns true.
    bool Open();
    /// Releases the context and the device ("OPENAL 音频设备释放"); nothing (and no record)
    /// when nothing is open.
    void Close();

    /// True while the silent device is open.
    bool IsSilent() const { return m_bSilent; }
    /// On the silent device: mixes the samples of the time passed since the previous mix (at
    /// most one second of them) and drops them, so sources advance as they would on a real
    /// device. Nothing on a real device, whose mixer runs by itself.
    void Mix();

private:
    CZanSoundDevice(const CZanSoundDevice&) = delete;
    CZanSoundDevice& operator=(const CZanSoundDevice&) = delete;

    bool OpenSilent();

    ALCcontext* m_pContext;
    ALCdevice* m_pDevice;
    bool m_bSilent;
    int64_t m_nMixStart;    ///< platform counter when the silent device opened
    int64_t m_nMixedFrames; ///< sample frames the silent device has mixed since then
    int16_t* m_pScratch;    ///< the silent device's mixing target, owned
};

/// A playable sound: one OpenAL source and the sample format of its data. Positions,
/// velocities and directions are (x, y) in the plane z = 0. The listener is shared by every
/// sound. Before a successful LoadSound the object acts on source 0, which does nothing.
/// Copies share the OpenAL names and each one's destructor deletes them: do not copy sounds.
class CZanAudioFile
{
public:
    CZanAudioFile() : m_nSource(0), m_nFormat(0) {}
    virtual ~CZanAudioFile() {}

    /// Plays from the current position, or from the start when stopped or at its end.
    virtual void PlaySoundA();
    /// Stops playing; the next PlaySoundA starts from the beginning.
    virtual void StopSound();
    /// Back to the start, stopped.
    virtual void RewindSound();
    /// Holds the position; PlaySoundA goes on from there.
    virtual void PauseSound();
    /// Whether the sound starts again when it reaches its end.
    virtual void SetLoop(bool loop);
    /// Makes the position relative to the listener.
    virtual void SetSourceRelative();
    /// True only while the source plays (paused, stopped and never played are false).
    virtual bool IsPlaying();
    /// Deletes the OpenAL names; the object may be loaded again afterwards.
    virtual void DestroySound() = 0;
    /// Loads the file at `path` (GBK) and prepares the source: at the origin, at rest,
    /// omnidirectional, pitch and gain 1, looping as `loop` (or as the class decides). On
    /// failure one error record, and the object stays silent. Loading again first
    /// releases what the object held.
    virtual void LoadSound(const char* path, bool loop) = 0;
    /// Where the sound comes from; (0, 0) after loading.
    virtual void SetSourcePosition(float x, float y);
    /// The source's velocity, for the Doppler shift; (0, 0) after loading.
    virtual void SetSourceVelocity(float x, float y);
    /// (0, 0) makes the source omnidirectional.
    virtual void SetSourceDirection(float x, float y);
    /// Where the one listener of every sound stands; (0, 0) after loading.
    virtual void SetListenerPosition(float x, float y);
    /// The listener looks along (atX, atY, 0) with (upX, upY, 0) as up.
    virtual void SetListenerOrientation(float atX, float atY, float upX, float upY);

    /// The same as PlaySoundA.
    void PlaySound() { PlaySoundA(); }

    /// The OpenAL source (0 before a successful LoadSound); owned by this object.
    ALuint GetSource() const { return m_nSource; }
    /// The OpenAL sample format of the loaded data (0 before loading).
    ALenum GetFormat() const { return m_nFormat; }

protected:
    /// Clears the OpenAL error state; errors of sources and buffers are not reported.
    virtual void Check();
    /// The set-up every LoadSound ends with, through the virtual operations above.
    void SetUpSource(bool loop);

    ALuint m_nSource; ///< see GetSource
    ALenum m_nFormat; ///< see GetFormat
};

/// A WAV sound, decoded whole into one buffer. 8- and 16-bit PCM keep their format; any other
/// encoding the reader knows (IMA ADPCM, MPEG, float, ...) is decoded to 16-bit PCM. The file
/// decides looping: LoadSound ignores its `loop` argument and loops exactly when the file's
/// sampler chunk lists a loop.
class CZanWave : public CZanAudioFile, public IZanResource
{
public:
    CZanWave() : m_nBuffer(0) {}
    /// Deletes the source and the buffer.
    ~CZanWave() override;
    /// Stops and deletes the source and the buffer.
    void DestroySound() override;
    /// Errors: "不能打开 wav 文件" for a null path, "不能载入 wav 文件" for a file that cannot
    /// be opened or read as a WAV. A data chunk that claims more than the file holds (as
    /// streaming writers leave it) plays what is there.
    void LoadSound(const char* path, bool loop) override;
    /// "声音资源"
    const char* GetResourceType() const override;

    /// The OpenAL buffer holding the samples (0 before loading); owned by this object.
    ALuint GetBuffer() const { return m_nBuffer; }

protected:
    ALuint m_nBuffer; ///< see GetBuffer
};

class CZanOggStream;

/// An Ogg Vorbis sound, decoded whole into one 16-bit buffer (mono for one channel, stereo
/// otherwise; only the first two channels of a wider stream are kept).
///
/// A sound longer than 30 s (or whose length the file does not tell) is not decoded whole: it
/// plays streamed from its file, as CZanOggStream music does, through two 64 KiB chunks the
/// engine refills every frame. Play, stop, pause, rewind, looping, IsPlaying and the source's
/// settings behave as for a whole sound; GetBuffer is then 0 and IsStreamed true. At most 64
/// such sounds are open at once; past that a long sound stays silent with "声音流太多".
class CZanOgg : public CZanAudioFile, public IZanResource
{
public:
    CZanOgg() : m_nBuffer(0), m_pStream(nullptr) {}
    /// Deletes the source and the buffer.
    ~CZanOgg() override;
    /// Stops and deletes the source and the buffer (or closes the stream).
    void DestroySound() override;
    /// Errors: "不能打开 ogg 文件" when the file cannot be opened or is no Ogg Vorbis stream;
    /// "载入 ogg 文件出错" when decoding fails or the stream is shorter than it claims; what
    /// did decode is still loaded, and nothing only when nothing decoded.
    void LoadSound(const char* path, bool loop) override;
    /// "声音资源"
    const char* GetResourceType() const override;

    /// Plays from the current position, or from the start when stopped, at its end or
    /// already playing.
    void PlaySoundA() override;
    /// Stops; the next PlaySoundA starts from the beginning.
    void StopSound() override;
    /// Back to the start, stopped.
    void RewindSound() override;
    /// Holds the position; PlaySoundA goes on from there.
    void PauseSound() override;
    /// Whether the sound starts again when it reaches its end.
    void SetLoop(bool loop) override;
    /// True only while the sound plays (paused, stopped and never played are false).
    bool IsPlaying() override;

    /// The OpenAL buffer holding the samples (0 before loading and for a streamed sound);
    /// owned by this object.
    ALuint GetBuffer() const { return m_nBuffer; }
    /// True when the sound plays streamed from its file.
    bool IsStreamed() const { return m_pStream != nullptr; }

protected:
    ALuint m_nBuffer; ///< see GetBuffer

private:
    // The stream is owned: a copy would close it twice.
    CZanOgg(const CZanOgg&) = delete;
    CZanOgg& operator=(const CZanOgg&) = delete;

    void LoadStreamed(const char* path, bool loop);

    CZanOggStream* m_pStream; ///< a long sound's stream; null when decoded whole
};

/// Ogg Vorbis music streamed through two 64 KiB buffers. The file stays open while loaded.
/// The owner must call Update() every frame while it plays; there is no thread. The source
/// itself never loops: a looping stream rewinds its decoder at the end. A stream decodes only
/// whole 64 KiB chunks: the partial last chunk of the file is never heard, and a file under
/// 64 KiB decoded plays nothing.
///
/// States by (playing, stopped): stopped (false, true) after construction and StopSound;
/// playing (true, false); paused (false, false) after PauseSound.
class CZanOggStream : public CZanAudioFile, public IZanResource
{
public:
    CZanOggStream();
    /// DestroySound.
    ~CZanOggStream() override;

    /// Nothing while playing; otherwise drops what is queued, decodes two fresh chunks from
    /// the decoder's position, queues them and plays.
    void PlaySoundA() override;
    /// Stops the source; the next PlaySoundA decodes from the decoder's position (call
    /// RewindSound first to start over).
    void StopSound() override;
    /// Stops the source but keeps the queued chunks for ResumeSound.
    void PauseSound() override;
    /// Rewinds the decoder to the file's start; chunks already queued still play first.
    void RewindSound() override;
    /// Only remembers the flag: looping rewinds the decoder at the end of the file.
    void SetLoop(bool loop) override;
    /// Stops, unqueues, deletes the OpenAL names and closes the file.
    void DestroySound() override;
    /// Opens the file and prepares the source and two buffers; decodes nothing yet.
    /// "不能打开 ogg 文件" when the file cannot be opened or is no Ogg Vorbis stream.
    void LoadSound(const char* path, bool loop) override;
    /// "声音资源"
    const char* GetResourceType() const override;

    /// Plays the chunks still queued (after PauseSound).
    void ResumeSound();
    /// Moves the decoder to byte `offset` of the compressed file. 0 on success, a negative
    /// vorbisfile error code otherwise (also when nothing is loaded).
    int Seek(long offset);
    /// While playing: refills and requeues every chunk the source has finished.
    void Update();

    /// See SetLoop.
    bool IsLooping() const { return m_bLoop; }
    /// True in the playing state (see the states above).
    bool IsStreamPlaying() const { return m_bPlaying; }
    /// True in the stopped state.
    bool IsStopped() const { return m_bStopped; }

protected:
    /// Decodes one whole chunk into `buffer`; false when none was given to it. At the end of
    /// the file the partial chunk is dropped and the decoder rewinds: a looping stream goes on
    /// with its first chunk, a non-looping one is marked stopped while its source plays out
    /// what is queued. A decoder that only returns errors stops the stream at once with
    /// "载入 ogg 文件出错".
    bool Stream(unsigned int buffer);
    /// Unqueues every buffer queued on the source.
    void Empty();

    ALuint m_aBuffers[2];     ///< the two chunks cycling through the source's queue
    FILE* m_pFile;            ///< owned by the decoder while loaded
    OggVorbis_File m_oggFile; ///< the decoder
    vorbis_info* m_pInfo;     ///< null while nothing is loaded
    bool m_bLoop;             ///< see SetLoop
    bool m_bPlaying;          ///< see IsStreamPlaying
    bool m_bStopped;          ///< see IsStopped

private:
    // The decoder state cannot be shared: a copy would free it twice.
    CZanOggStream(const CZanOggStream&) = delete;
    CZanOggStream& operator=(const CZanOggStream&) = delete;
};
