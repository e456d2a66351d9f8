// The OpenAL device: a real output when there is one, a silent loopback device otherwise.
#include "Sound/SoundShared.h"

#include "Graphics/ZanGraphicsLog.h"

#include <AL/alext.h>

namespace
{
const char* const kSource = "Sound\\ZanSound";

// The silent device renders this format; nobody hears it, only the mixing has to happen.
constexpr ALCint kSilentRate = 44100;
constexpr ALCsizei kScratchFrames = 4096;

// The one open device, for the sounds that let it catch up on their way.
CZanSoundDevice* s_pOpenDevice = nullptr;

int64_t CounterNow()
{
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

int64_t CounterFrequency()
{
    LARGE_INTEGER frequency{};
    QueryPerformanceFrequency(&frequency);
    return frequency.QuadPart > 0 ? frequency.QuadPart : 1;
}

LPALCRENDERSAMPLESSOFT RenderSamples()
{
    static LPALCRENDERSAMPLESSOFT render = reinterpret_cast<LPALCRENDERSAMPLESSOFT>(
        alcGetProcAddress(nullptr, "alcRenderSamplesSOFT"));
    return render;
}
} // namespace

void ZanSoundCatchUp()
{
    if (s_pOpenDevice)
        s_pOpenDevice->Mix();
}

CZanSoundDevice::CZanSoundDevice()
    : m_pContext(nullptr), m_pDevice(nullptr), m_bSilent(false), m_nMixStart(0), m_nMixedFrames(0),
      m_pScratch(nullptr)
{
}

CZanSoundDevice::~CZanSoundDevice()
{
    Close();
}

bool CZanSoundDevice::Open()
{
    if (m_pDevice)
        return true;
    // The name the system asks for first exists only on some platforms; the default
    // device is whatever the user's sound server or card offers.
    ALCdevice* device = alcOpenDevice("DirectSound3D");
    if (!device)
        device = alcOpenDevice(nullptr);
    if (device)
    {
        ALCcontext* context = alcCreateContext(device, nullptr);
        if (context && alcMakeContextCurrent(context))
        {
            m_pDevice = device;
            m_pContext = context;
        }
        else
        {
            if (context)
                alcDestroyContext(context);
            alcCloseDevice(device);
        }
    }
    if (!m_pDevice && !OpenSilent())
    {
        ZanLogError("OPENAL 音频设备创建失败", kSource, __LINE__);
        return false;
    }
    alGetError();
    s_pOpenDevice = this;
    ZanLogInfo("OPENAL 音频设备创建成功", kSource, __LINE__);
    return true;
}

bool CZanSoundDevice::OpenSilent()
{
    if (!alcIsExtensionPresent(nullptr, "ALC_SOFT_loopback"))
        return false;
    auto openLoopback = reinterpret_cast<LPALCLOOPBACKOPENDEVICESOFT>(
        alcGetProcAddress(nullptr, "alcLoopbackOpenDeviceSOFT"));
    if (!openLoopback || !RenderSamples())
        return false;
    ALCdevice* device = openLoopback(nullptr);
    if (!device)
        return false;
    const ALCint attributes[] = {ALC_FORMAT_CHANNELS_SOFT,
                                 ALC_STEREO_SOFT,
                                 ALC_FORMAT_TYPE_SOFT,
                                 ALC_SHORT_SOFT,
                                 ALC_FREQUENCY,
                                 kSilentRate,
                                 0};
    ALCcontext* context = alcCreateContext(device, attributes);
    if (!context || !alcMakeContextCurrent(context))
    {
        if (context)
            alcDestroyContext(context);
        alcCloseDevice(device);
        return false;
    }
    m_pDevice = device;
    m_pContext = context;
    m_bSilent = true;
    m_pScratch = new int16_t[size_t(kScratchFrames) * 2];
    m_nMixStart = CounterNow();
    m_nMixedFrames = 0;
    ZanLogWarn("没有音频输出设备，游戏将无声运行", kSource, __LINE__);
    return true;
}

void CZanSoundDevice::Close()
{
    if (!m_pDevice)
        return;
    alcMakeContextCurrent(nullptr);
    alcDestroyContext(m_pContext);
    alcCloseDevice(m_pDevice);
    ZanLogInfo("OPENAL 音频设备释放", kSource, __LINE__);
    m_pContext = nullptr;
    m_pDevice = nullptr;
    m_bSilent = false;
    delete[] m_pScratch;
    m_pScratch = nullptr;
    if (s_pOpenDevice == this)
        s_pOpenDevice = nullptr;
}

void CZanSoundDevice::Mix()
{
    if (!m_bSilent)
        return;
    const int64_t elapsed = CounterNow() - m_nMixStart;
    if (elapsed <= 0)
        return;
    const int64_t frequency = CounterFrequency();
    // Whole seconds first, so the product cannot overflow in a long session.
    const int64_t target =
        elapsed / frequency * kSilentRate + elapsed % frequency * kSilentRate / frequency;
    int64_t pending = target - m_nMixedFrames;
    if (pending > kSilentRate)
    {
        // A long stall would take as long to mix as it lasted: drop all but its last second,
        // as a real device underruns.
        m_nMixedFrames = target - kSilentRate;
        pending = kSilentRate;
    }
    LPALCRENDERSAMPLESSOFT render = RenderSamples();
    while (pending > 0)
    {
        const ALCsizei frames = ALCsizei(pending < kScratchFrames ? pending : kScratchFrames);
        render(m_pDevice, m_pScratch, frames);
        pending -= frames;
        m_nMixedFrames += frames;
    }
}
