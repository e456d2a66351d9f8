// A game object that writes down every hook the engine calls, in order.
#pragma once

#include "ZanEngine.h"

#include <functional>
#include <string>
#include <vector>

class RecordingGame : public CGameBase
{
public:
    std::vector<std::string> calls;
    bool initResult = true;
    bool recordKeyUps = false; // OnKeyUp runs for every idle key, every frame
    bool runsUnfocused = false;
    std::function<void()> onFrame;

    using CGameBase::IsKeyDown;

    bool Has(const std::string& call) const
    {
        for (const auto& c : calls)
            if (c == call)
                return true;
        return false;
    }
    std::vector<std::string> Matching(const std::string& prefix) const
    {
        std::vector<std::string> out;
        for (const auto& c : calls)
            if (c.rfind(prefix, 0) == 0)
                out.push_back(c);
        return out;
    }

protected:
    bool RunsUnfocused() const override { return runsUnfocused; }
    bool PreFrameUpdate() override
    {
        calls.push_back("PreFrameUpdate");
        return CGameBase::PreFrameUpdate();
    }
    bool FrameUpdate() override
    {
        calls.push_back("FrameUpdate");
        if (onFrame)
            onFrame();
        return true;
    }
    bool PostFrameUpdate() override
    {
        calls.push_back("PostFrameUpdate");
        return true;
    }
    bool OnFocusLost() override
    {
        calls.push_back("OnFocusLost");
        return true;
    }
    bool OnFocusRestored() override
    {
        calls.push_back("OnFocusRestored");
        return true;
    }
    bool Render() override
    {
        calls.push_back("Render");
        return CGameBase::Render();
    }
    bool Init() override
    {
        calls.push_back("Init");
        return CGameBase::Init() && initResult;
    }
    bool OnShutdown() override
    {
        calls.push_back("OnShutdown");
        return true;
    }
    bool OnKeyDown(int key) override
    {
        calls.push_back("KeyDown " + std::to_string(key));
        return true;
    }
    bool OnKeyUp(int key) override
    {
        if (recordKeyUps)
            calls.push_back("KeyUp " + std::to_string(key));
        return true;
    }
    bool OnKeyPress(int key) override
    {
        calls.push_back("KeyPress " + std::to_string(key));
        return CGameBase::OnKeyPress(key);
    }
    bool OnMouseButtonDown(int b) override
    {
        calls.push_back("MouseDown " + std::to_string(b));
        return true;
    }
    bool OnMouseButtonUp(int b) override
    {
        if (recordKeyUps)
            calls.push_back("MouseUp " + std::to_string(b));
        return true;
    }
    bool OnMouseButtonRelease(int b) override
    {
        calls.push_back("MouseRelease " + std::to_string(b));
        return true;
    }
    bool OnHandleChar(int c) override
    {
        calls.push_back("Char " + std::to_string(c));
        return true;
    }
    bool OnHandleKeyDown(int vk) override
    {
        calls.push_back("HandleKeyDown " + std::to_string(vk));
        return CGameBase::OnHandleKeyDown(vk);
    }
    bool OnHandleKeyUp(int vk) override
    {
        calls.push_back("HandleKeyUp " + std::to_string(vk));
        return CGameBase::OnHandleKeyUp(vk);
    }
    bool OnHandleKeyPress(int vk) override
    {
        calls.push_back("HandleKeyPress " + std::to_string(vk));
        return true;
    }
    bool OnEngineMessage(CPacket_Read*) override { return true; }
    bool OnObjectMessage(unsigned long, CPacket_Read*) override { return true; }
};
