// Physics on ZanEngine: five boxes dropped into a pile on a floor, and a box swinging on a pin
// joint from a fixed pivot. Space kicks the swinging box; Escape quits. With --headless it runs
// four seconds on the engine's virtual clock, then checks that the pile stands, the joint holds
// and both show in the picture, and says so in its exit status.
#include <ZanEngine.h>
#include <ZanHeadless.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace
{
const unsigned long kFloorColour = 0xFF3A6E2Eu;
// Neighbours in the pile take turns, so the boxes read as boxes.
const unsigned long kBoxColours[2] = {0xFFE8A03Au, 0xFFB8642Au};
const unsigned long kBobColour = 0xFF4A7FD8u;
const unsigned long kPivotColour = 0xFFF0F0F0u;
const float kFloorTop = 560.0f;
const float kPileX = 250.0f;
const int kPileBoxes = 5;
const CZanVector kPivot(560.0f, 120.0f);
const float kRope = 120.0f; // from the pivot to the swinging box's centre

// One physical thing: a body with a box geometry, and a flat-coloured sprite (texture "无")
// that follows it. The object owns its geometry, so the geometry lives exactly as long as the
// body that reads it.
class Block : public CZanObject
{
public:
    Block(CZanResourceMgr* resources, const char* sprite, float width, float height,
          unsigned long colour)
        : CZanObject(width, height), m_box(width, height), m_sprite(resources->CreateSprite(sprite))
    {
        SetGeometry(&m_box);
        // Bodies of one group never collide, and every body starts in group 0.
        SetGroup(int(GetID()));
        m_sprite->SetColor(colour);
    }

    // Called once per frame after the physics step: draw the body where it is now.
    void Update() override
    {
        m_sprite->SetPosition(GetPos());
        m_sprite->SetRot(GetRot());
    }

private:
    CZanQuad m_box;
    CZanResPtr<CZanSprite> m_sprite;
};

class PhysicsGame : public CGameBase
{
public:
    PhysicsGame(CZanEngine* engine, CZanPhysicsEngine* world, CZanResourceMgr* resources)
        : m_engine(engine), m_world(world), m_resources(resources)
    {
        m_szWindowTitle = const_cast<char*>("ZanEngine physics");
        m_bWindowed = true;
    }
    // The engine keeps only a pointer to registered objects: take them out before deleting.
    ~PhysicsGame() override { RemoveAll(); }

    // Called by SystemStart once the window and the devices are up.
    bool Init() override
    {
        if (!CGameBase::Init() || !m_resources->Load("physics.xml"))
            return false;
        // No mass: the floor and the pivot are static, nothing moves them.
        Add(new Block(m_resources, "地面", 800.0f, 40.0f, kFloorColour), CZanVector(400.0f, 580.0f),
            0.0f);
        // Dropped from a little above one another, they settle into a pile.
        for (int i = 0; i < kPileBoxes; ++i)
            m_pile.push_back(Add(new Block(m_resources, "箱子", 40.0f, 40.0f, kBoxColours[i % 2]),
                                 CZanVector(kPileX, kFloorTop - 20.0f - 44.0f * float(i)), 1.0f));
        m_pivot = Add(new Block(m_resources, "支点", 12.0f, 12.0f, kPivotColour), kPivot, 0.0f);
        // The swinging box starts level with the pivot and falls into its swing.
        m_bob = Add(new Block(m_resources, "箱子", 40.0f, 40.0f, kBobColour),
                    kPivot + CZanVector(kRope, 0.0f), 1.0f);
        // The anchor is given in world coordinates: the pivot's centre, so the box hangs from
        // it. The world owns the joint.
        m_world->CreateJoint(m_pivot, m_bob, kPivot, 1.0f);
        return true;
    }

    const std::vector<Block*>& Pile() const { return m_pile; }
    const Block* Bob() const { return m_bob; }

protected:
    // Space kicks the swinging box to the left; the base class keeps Escape (quit) and F1.
    bool OnKeyPress(int key) override
    {
        if (key == DIK_SPACE && m_bob)
        {
            CZanVector kick(-60000.0f, 0.0f);
            m_world->AddImpulse(m_bob->GetID(), kick);
        }
        return CGameBase::OnKeyPress(key);
    }
    bool OnShutdown() override
    {
        RemoveAll();
        return true;
    }
    bool FrameUpdate() override { return true; }
    bool PostFrameUpdate() override { return true; }
    bool OnFocusLost() override { return true; }
    bool OnFocusRestored() override { return true; }
    bool OnEngineMessage(CPacket_Read*) override { return true; }
    bool OnObjectMessage(unsigned long, CPacket_Read*) override { return true; }

private:
    Block* Add(Block* block, const CZanVector& position, float mass)
    {
        block->SetPos(position);
        if (mass > 0.0f)
            block->SetMass(mass);   // after the geometry: the inertia comes from its size
        m_engine->AddObject(block); // registers the body with the physics world too
        m_blocks.push_back(block);
        return block;
    }
    void RemoveAll()
    {
        m_world->RemoveAll(); // the joint goes with it
        for (Block* block : m_blocks)
        {
            m_engine->RemoveObject(block);
            delete block;
        }
        m_blocks.clear();
        m_pile.clear();
        m_pivot = m_bob = nullptr;
    }

    CZanEngine* m_engine;
    CZanPhysicsEngine* m_world;
    CZanResourceMgr* m_resources;
    std::vector<Block*> m_blocks;
    std::vector<Block*> m_pile;
    Block* m_pivot = nullptr;
    Block* m_bob = nullptr;
};

struct Check
{
    PhysicsGame* game = nullptr;
    int frames = 0;
    bool passed = false;
};

bool Near(unsigned pixel, unsigned long colour)
{
    for (int shift = 0; shift < 24; shift += 8)
    {
        const int a = int((pixel >> shift) & 0xFF), b = int((colour >> shift) & 0xFF);
        if (std::abs(a - b) > 2)
            return false;
    }
    return true;
}

// Each frame lasts 16 ms of virtual time; after four seconds the pile has come to rest.
void CheckFrame(void* user)
{
    Check& check = *static_cast<Check*>(user);
    ZanHeadlessAdvance(15);
    if (++check.frames < 250)
        return;
    int w = 0, h = 0;
    const unsigned* px = ZanHeadlessFrame(&w, &h);
    bool ok = px && w == 800 && h == 600;
    const std::vector<Block*>& pile = check.game->Pile();
    for (size_t i = 0; ok && i < pile.size(); ++i)
    {
        // Stacked in order, each box resting on the one below it, and still.
        const CZanVector pos = pile[i]->GetPos();
        const float restY = kFloorTop - 20.0f - 40.0f * float(i);
        std::printf("box %zu at (%.1f, %.1f), speed %.2f\n", i, double(pos.x), double(pos.y),
                    double(pile[i]->GetVelocity().Length()));
        ok = std::fabs(pos.x - kPileX) < 4.0f && std::fabs(pos.y - restY) < 4.0f &&
             pile[i]->GetVelocity().Length() < 10.0f &&
             CZanPhysicsEngine::Instance()->IsAsleep(pile[i]->GetID()) &&
             Near(px[int(pos.y) * w + int(pos.x)], kBoxColours[i % 2]);
    }
    if (ok)
    {
        const CZanVector bob = check.game->Bob()->GetPos();
        const float rope = (bob - kPivot).Length();
        std::printf("swinging box at (%.1f, %.1f), %.1f from the pivot\n", double(bob.x),
                    double(bob.y), double(rope));
        ok = std::fabs(rope - kRope) < 3.0f && bob.y > kPivot.y &&
             Near(px[int(bob.y) * w + int(bob.x)], kBobColour) &&
             Near(px[int(kPivot.y) * w + int(kPivot.x)], kPivotColour) &&
             Near(px[580 * w + 700], kFloorColour) && (px[10 * w + 10] & 0xFFFFFFu) == 0;
    }
    check.passed = ok;
    ZanHeadlessClose();
}
} // namespace

int main(int argc, char** argv)
{
    const bool headless = argc > 1 && std::strcmp(argv[1], "--headless") == 0;
    Check check;
    if (headless)
    {
        ZanHeadlessEnable();
        ZanHeadlessOnFrame(CheckFrame, &check);
    }
    CZanEngine* engine = KovCreate(9);
    CZanPhysicsEngine* world = KovPhysicsCreate(CZanVector(0.0f, 1000.0f));
    // A pile at rest should stay put and cost nothing: settling lets it come to rest and sleep.
    world->SetSettling(true);
    CZanResourceMgr* resources = KovResourceCreate();
    PhysicsGame* game = new PhysicsGame(engine, world, resources);
    check.game = game;
    bool ran = engine->LoadGame(game) && engine->SystemInitiate() && engine->SystemStart();
    delete game;
    resources->Release();
    world->Release();
    engine->Release();
    if (headless)
        ran = ran && check.passed;
    std::printf("%s\n", ran ? "pile and joint hold" : "failed: see the run log");
    return ran ? 0 : 1;
}
