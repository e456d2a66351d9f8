// An engine started on the headless backend with no sound output driver, so its sound device
// is the silent loopback device: tests render its output themselves, and the virtual clock
// drives its mixing.
#pragma once

#include "Platform.h"
#include "SoundFiles.h"
#include "TestSupport.h"
#include "ZanHeadless.h"
#include "core/EngineGlobals.h"

#include <gtest/gtest.h>

#include <cstdlib>

class SoundTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // Read once, at OpenAL's first call in this process: no driver can answer.
        setenv("ALSOFT_DRIVERS", "zan-no-such-driver", 1);
        ZanHeadlessEnable();
        engine = KovCreate(9);
        ASSERT_NE(engine, nullptr);
        game.m_bWindowed = true;
        ASSERT_TRUE(engine->LoadGame(&game));
        ASSERT_TRUE(engine->SystemInitiate());
    }
    void TearDown() override { ReleaseEngine(); }
    void ReleaseEngine()
    {
        if (engine)
            engine->Release();
        engine = nullptr;
    }

    /// Run-log rows with this message.
    static int Records(const std::string& message)
    {
        std::fflush(nullptr);
        int n = 0;
        for (const auto& row : zantest::ReadLogRows(ZanNativePath("运行日志.htm")))
            n += row.message == message;
        return n;
    }
    /// Rows of the error kind.
    static int ErrorRecords()
    {
        std::fflush(nullptr);
        int n = 0;
        for (const auto& row : zantest::ReadLogRows(ZanNativePath("运行日志.htm")))
            n += row.kind == "错误";
        return n;
    }
    static void Write(const std::string& name, const std::string& bytes)
    {
        zantest::WriteFile(ZanNativePath(name.c_str()), bytes);
    }
    static ALint SourceInt(ALuint source, ALenum what)
    {
        ALint v = -1;
        alGetSourcei(source, what, &v);
        return v;
    }
    static ALint BufferInt(ALuint buffer, ALenum what)
    {
        ALint v = -1;
        alGetBufferi(buffer, what, &v);
        return v;
    }

    zantest::ScopedWorkDir dir;
    CZanEngine* engine = nullptr;
    IdleGame game;
};
