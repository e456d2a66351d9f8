// Gamepads as keyboard keys. The first two pads to join each take a player's place and press
// the keys the levels already read for that player; a pad that joins while both places are
// taken waits and takes the first place that frees. A pad that leaves lets go of its keys.
#include "Platform.h"
#include "ZanDInput.h"
#include "ZanHeadless.h"

#include <algorithm>
#include <vector>

namespace
{
struct PlayerKeys
{
    int left, right, flap;
};
const PlayerKeys kPlayers[] = {{DIK_A, DIK_D, DIK_J}, {DIK_LEFT, DIK_RIGHT, DIK_END}};
constexpr int kPlaces = int(sizeof kPlayers / sizeof kPlayers[0]);

// A stick counts as pushed past half way and as let go once back inside a quarter, so a
// resting stick never presses and one held near the edge does not flicker.
constexpr int kStickPress = 16384;
constexpr int kStickRelease = 8192;

struct Pad
{
    int id = 0;
    int place = -1; // index into kPlayers, or -1 while waiting
    bool dpadLeft = false, dpadRight = false, south = false;
    bool stickLeft = false, stickRight = false;
    bool heldLeft = false, heldRight = false, heldFlap = false; // keys this pad presses now
};

std::vector<Pad> g_pads; // in order of joining

Pad* FindPad(int id)
{
    for (Pad& p : g_pads)
        if (p.id == id)
            return &p;
    return nullptr;
}

void Hold(const Pad& pad, int dik, bool& held, bool wanted)
{
    if (held == wanted)
        return;
    held = wanted;
    ZanInputKeyFrom(1 + pad.place, dik, wanted);
}

// Presses and releases the player's keys so they match what the pad's controls say.
void Apply(Pad& pad)
{
    if (pad.place < 0)
        return;
    const PlayerKeys& keys = kPlayers[pad.place];
    Hold(pad, keys.left, pad.heldLeft, pad.dpadLeft || pad.stickLeft);
    Hold(pad, keys.right, pad.heldRight, pad.dpadRight || pad.stickRight);
    Hold(pad, keys.flap, pad.heldFlap, pad.south);
}

void ReleaseAll(Pad& pad)
{
    if (pad.place < 0)
        return;
    const PlayerKeys& keys = kPlayers[pad.place];
    Hold(pad, keys.left, pad.heldLeft, false);
    Hold(pad, keys.right, pad.heldRight, false);
    Hold(pad, keys.flap, pad.heldFlap, false);
}

int FreePlace()
{
    for (int place = 0; place < kPlaces; ++place)
        if (std::none_of(g_pads.begin(), g_pads.end(),
                         [place](const Pad& p) { return p.place == place; }))
            return place;
    return -1;
}
} // namespace

void ZanPadConnect(int id, bool on)
{
    Pad* pad = FindPad(id);
    if (on)
    {
        if (pad)
            return;
        Pad fresh;
        fresh.id = id;
        fresh.place = FreePlace();
        g_pads.push_back(fresh);
        return;
    }
    if (!pad)
        return;
    ReleaseAll(*pad);
    const int freed = pad->place;
    g_pads.erase(g_pads.begin() + (pad - g_pads.data()));
    if (freed < 0)
        return;
    for (Pad& waiting : g_pads)
        if (waiting.place < 0)
        {
            waiting.place = freed;
            Apply(waiting);
            break;
        }
}

void ZanPadButton(int id, int button, bool down)
{
    Pad* pad = FindPad(id);
    if (!pad)
        return;
    switch (button)
    {
    case ZAN_PAD_SOUTH:
        pad->south = down;
        break;
    case ZAN_PAD_DPAD_LEFT:
        pad->dpadLeft = down;
        break;
    case ZAN_PAD_DPAD_RIGHT:
        pad->dpadRight = down;
        break;
    default:
        return;
    }
    Apply(*pad);
}

void ZanPadAxis(int id, int axis, int value)
{
    Pad* pad = FindPad(id);
    if (!pad || axis != ZAN_PAD_LEFT_X)
        return;
    pad->stickLeft = pad->stickLeft ? value < -kStickRelease : value < -kStickPress;
    pad->stickRight = pad->stickRight ? value > kStickRelease : value > kStickPress;
    Apply(*pad);
}

// Pads are not heard while another program has the focus, so a release made meanwhile would
// be lost: everything the pads hold is let go when the focus leaves.
void ZanPadsLetGo()
{
    for (Pad& pad : g_pads)
    {
        pad.dpadLeft = pad.dpadRight = pad.south = pad.stickLeft = pad.stickRight = false;
        Apply(pad);
    }
}

void ZanPadsForget()
{
    ZanPadsLetGo();
    g_pads.clear();
}
