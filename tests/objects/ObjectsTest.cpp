#include "EngineRun.h"

#include <gtest/gtest.h>
#include <memory>
#include <type_traits>

using namespace zantest;

static_assert(!std::is_copy_constructible<CZanObject>::value, "objects share no body");
static_assert(!std::is_copy_assignable<CZanObject>::value, "objects share no body");

TEST(Objects, IdsStartAtOneHundredAndAreNeverReused)
{
    unsigned long first;
    {
        CZanObject a(1, 1);
        first = a.GetID();
    }
    CZanObject b(1, 1);
    EXPECT_EQ(first, 100u);
    EXPECT_EQ(b.GetID(), 101u);
    EXPECT_EQ(b.GetBody()->m_nID, 101u);
}

TEST(Objects, RegistryAndPhysicsBodies)
{
    EngineRun run;
    CZanQuad quad(10, 10);
    LogObject a;
    a.SetGeometry(&quad);
    EXPECT_TRUE(run.engine->AddObject(&a));
    EXPECT_EQ(run.engine->GetObject(a.GetID()), &a);
    EXPECT_EQ(run.world->GetBody(a.GetID()), a.GetBody());
    EXPECT_EQ(run.engine->GetObject(12345), nullptr);
    EXPECT_TRUE(run.engine->RemoveObject(&a));
    EXPECT_EQ(run.engine->GetObject(a.GetID()), nullptr);
    EXPECT_EQ(run.world->GetBody(a.GetID()), nullptr);

    // Never added to the engine, but its body was in the world: removed all the same.
    LogObject b;
    run.world->AddBody(b.GetID(), b.GetBody());
    EXPECT_TRUE(run.engine->RemoveObject(&b));
    EXPECT_EQ(run.world->GetBody(b.GetID()), nullptr);
}

TEST(Objects, DeliveryFollowsSenderAndTargetInSendingOrder)
{
    EngineRun run;
    ScriptGame game;
    LogObject obj;
    obj.frame = &game.frame;
    run.engine->AddObject(&obj);
    const unsigned long id = obj.GetID();
    game.frames.push_back(
        [&]
        {
            CPacket_Read p1 = Words({1}), p2 = Words({2}), p3 = Words({3}), p4 = Words({4}),
                         p5 = Words({5}), p6 = Words({6});
            EXPECT_TRUE(run.engine->SendToObject(0, 1, p1));
            EXPECT_TRUE(run.engine->SendToObject(1, 1, p2));
            EXPECT_TRUE(run.engine->SendToObject(7, id, p3));
            EXPECT_TRUE(run.engine->SendToObject(0, id, p4));
            EXPECT_TRUE(run.engine->SendToObject(1, 0, p5));     // nobody listens at 0
            EXPECT_TRUE(run.engine->SendToObject(1, 99999, p6)); // not registered
            EXPECT_TRUE(Log().empty());                          // nothing is delivered at once
        });
    game.frames.push_back([] {});
    ASSERT_TRUE(run.Run(game));
    run.engine->RemoveObject(&obj);

    ASSERT_EQ(Log().size(), 4u);
    const std::string self = std::to_string(id);
    EXPECT_EQ(Log()[0].who, "game");
    EXPECT_TRUE(Log()[0].engine);
    EXPECT_EQ(Log()[0].words, std::vector<uint32_t>{1});
    EXPECT_EQ(Log()[1].who, "game");
    EXPECT_FALSE(Log()[1].engine);
    EXPECT_EQ(Log()[1].sender, 1u);
    EXPECT_EQ(Log()[2].who, self);
    EXPECT_FALSE(Log()[2].engine);
    EXPECT_EQ(Log()[2].sender, 7u);
    EXPECT_EQ(Log()[2].words, std::vector<uint32_t>{3});
    EXPECT_EQ(Log()[3].who, self);
    EXPECT_TRUE(Log()[3].engine);
    for (const Delivery& d : Log())
        EXPECT_EQ(d.frame, 1); // in the delivery step of the next frame
}

TEST(Objects, PacketsTravelWholeBytesFromTheirReadPosition)
{
    EngineRun run;
    ScriptGame game;
    game.frames.push_back(
        [&]
        {
            CPacket_Write w;
            w.WriteBits(0x1ABC, 13);
            CPacket_Read thirteen(w);
            EXPECT_TRUE(run.engine->SendToObject(1, 1, thirteen));
            EXPECT_TRUE(thirteen.EOP()); // the bits were read out of it

            CPacket_Read partly = Words({0x11223344, 0x55667788});
            partly.Readuint8();
            EXPECT_TRUE(run.engine->SendToObject(1, 1, partly));
        });
    game.frames.push_back([] {});
    ASSERT_TRUE(run.Run(game));
    ASSERT_EQ(Log().size(), 2u);
    EXPECT_EQ(Log()[0].bits, 16u);
    EXPECT_EQ(Log()[0].words, std::vector<uint32_t>{0x1ABC}); // the 3 extra bits are zero
    // From position 8 on, and still a whole number of bytes: 56 bits.
    EXPECT_EQ(Log()[1].bits, 64u);
    EXPECT_EQ(Log()[1].words, (std::vector<uint32_t>{0x88112233, 0x00556677}));
}

TEST(Objects, AFrameHoldsAtMost4095MessageBytes)
{
    EngineRun run;
    ScriptGame game;
    std::vector<uint8_t> big(4000, 0xAB);
    auto bytes = [](const std::vector<uint8_t>& data, size_t n)
    {
        CPacket_Write w;
        w.WriteData(data.data(), unsigned(n * 8));
        return CPacket_Read(w);
    };
    game.frames.push_back(
        [&]
        {
            CPacket_Read p4000 = bytes(big, 4000), p100 = bytes(big, 100), p10 = bytes(big, 10);
            EXPECT_TRUE(run.engine->SendToObject(1, 1, p4000));
            EXPECT_FALSE(run.engine->SendToObject(1, 1, p100));
            // It would fit on its own, but everything after a refusal is refused.
            EXPECT_FALSE(run.engine->SendToObject(1, 1, p10));
        });
    game.frames.push_back(
        [&]
        {
            // A fresh frame: exactly 4095 bytes fit, one more does not.
            CPacket_Read a = bytes(big, 4000), b = bytes(big, 95), c = bytes(big, 1);
            EXPECT_TRUE(run.engine->SendToObject(1, 1, a));
            EXPECT_TRUE(run.engine->SendToObject(1, 1, b));
            EXPECT_FALSE(run.engine->SendToObject(1, 1, c));
        });
    game.frames.push_back([] {});
    ASSERT_TRUE(run.Run(game));
    ASSERT_EQ(Log().size(), 3u);
    EXPECT_EQ(Log()[0].bits, 4000u * 8u);
    EXPECT_EQ(Log()[0].words.front(), 0xABABABABu);
    EXPECT_EQ(Log()[1].frame, 2);
    EXPECT_EQ(Log()[2].bits, 95u * 8u);
}

TEST(Objects, HandlersSendForTheNextFrameAndRemovedTargetsAreSkipped)
{
    EngineRun run;
    ScriptGame game;
    LogObject echo, gone;
    echo.frame = gone.frame = &game.frame;
    run.engine->AddObject(&echo);
    run.engine->AddObject(&gone);
    int echoes = 0;
    echo.onMessage = [&](CPacket_Read*)
    {
        if (echoes++ == 0)
        {
            CPacket_Read again = Words({42});
            run.engine->SendToObject(echo.GetID(), echo.GetID(), again);
        }
    };
    game.frames.push_back(
        [&]
        {
            CPacket_Read p = Words({1}), q = Words({2});
            run.engine->SendToObject(1, echo.GetID(), p);
            run.engine->SendToObject(1, gone.GetID(), q);
            run.engine->RemoveObject(&gone);
        });
    game.frames.push_back([] {});
    game.frames.push_back([] {});
    ASSERT_TRUE(run.Run(game));
    run.engine->RemoveObject(&echo);

    ASSERT_EQ(Log().size(), 2u);
    EXPECT_EQ(Log()[0].frame, 1);
    EXPECT_EQ(Log()[1].frame, 2);
    EXPECT_EQ(Log()[1].sender, echo.GetID());
    EXPECT_EQ(Log()[1].words, std::vector<uint32_t>{42});
}

TEST(Objects, UpdatePassRunsInIdOrderAndSurvivesChanges)
{
    EngineRun run;
    ScriptGame game;
    auto* a = new LogObject;
    auto* b = new LogObject;
    auto* c = new LogObject;
    LogObject* late = nullptr;
    run.engine->AddObject(c);
    run.engine->AddObject(a);
    run.engine->AddObject(b);
    // a removes and deletes c and adds a newcomer during the first pass.
    a->onUpdate = [&]
    {
        if (late)
            return;
        run.engine->RemoveObject(c);
        delete c;
        c = nullptr;
        late = new LogObject;
        run.engine->AddObject(late);
    };
    game.frames.push_back([] {});
    game.frames.push_back([] {});
    const unsigned long ida = a->GetID(), idb = b->GetID();
    ASSERT_TRUE(run.Run(game));
    const std::vector<unsigned long> expected = {ida, idb, ida, idb, late->GetID()};
    EXPECT_EQ(LogObject::Updates(), expected);
    for (LogObject* o : {a, b, late})
        run.engine->RemoveObject(o);
    delete a;
    delete b;
    delete late;
}

TEST(Objects, CollisionsArriveAsEngineMessages)
{
    EngineRun run;
    ScriptGame game;
    CZanQuad floorQuad(800, 40), boxQuad(20, 20);
    LogObject floor, box;
    floor.frame = box.frame = &game.frame;
    floor.SetGeometry(&floorQuad);
    floor.SetPos(400, 600);
    floor.SetGroup(1);
    box.SetGeometry(&boxQuad);
    box.SetPos(400, 570);
    box.SetGroup(2);
    box.SetMass(1.0f);
    game.frames.push_back(
        [&]
        {
            // Registered only now: SystemInitiate empties the world.
            run.engine->AddObject(&floor);
            run.engine->AddObject(&box);
        });
    for (int i = 0; i < 5; ++i)
        game.frames.push_back([] {});
    ASSERT_TRUE(run.Run(game));
    run.engine->RemoveObject(&floor);
    run.engine->RemoveObject(&box);

    const std::string floorId = std::to_string(floor.GetID()), boxId = std::to_string(box.GetID());
    ASSERT_GE(Log().size(), 2u);
    const Delivery& first = Log()[0];
    const Delivery& second = Log()[1];
    EXPECT_EQ(first.who, floorId); // the lower id hears first
    EXPECT_EQ(second.who, boxId);
    EXPECT_TRUE(first.engine);
    EXPECT_EQ(first.bits, 44u * 8u);
    ASSERT_EQ(first.words.size(), 11u);
    EXPECT_EQ(first.words[0], uint32_t(ZAN_MSG_COLLISION));
    EXPECT_EQ(first.words[1], box.GetID());
    EXPECT_EQ(second.words[1], floor.GetID());
    EXPECT_EQ(first.words[2], 2u);
    // Both hear the same contacts, normal not reversed: from the floor up to the box.
    for (size_t w = 2; w < 11; ++w)
        EXPECT_EQ(first.words[w], second.words[w]);
    float ny;
    std::memcpy(&ny, &first.words[6], 4);
    EXPECT_EQ(ny, -1.0f);
}

TEST(Objects, CollisionReportsStopWhereTheFrameBufferEnds)
{
    EngineRun run;
    ScriptGame game;
    CZanQuad floorQuad(4000, 40), boxQuad(20, 20);
    LogObject floor;
    floor.frame = &game.frame;
    floor.SetGeometry(&floorQuad);
    floor.SetPos(0, 600);
    floor.SetGroup(1);
    std::vector<std::unique_ptr<LogObject>> boxes;
    for (int i = 0; i < 60; ++i)
    {
        boxes.emplace_back(new LogObject);
        LogObject& box = *boxes.back();
        box.frame = &game.frame;
        box.SetGeometry(&boxQuad);
        box.SetPos(-1500.0f + i * 50.0f, 570.0f);
        box.SetGroup(2 + i);
        box.SetMass(1.0f);
    }
    game.frames.push_back(
        [&]
        {
            run.engine->AddObject(&floor);
            for (auto& box : boxes)
                run.engine->AddObject(box.get());
        });
    for (int i = 0; i < 3; ++i)
        game.frames.push_back([] {});
    ASSERT_TRUE(run.Run(game));
    run.engine->RemoveObject(&floor);
    for (auto& box : boxes)
        run.engine->RemoveObject(box.get());

    // 120 reports of 44 bytes each sub-step; 93 fit in 4095 bytes, in the order sent.
    for (int frame = 1; frame <= 3; ++frame)
    {
        std::vector<const Delivery*> got;
        for (const Delivery& d : Log())
            if (d.frame == frame)
                got.push_back(&d);
        ASSERT_EQ(got.size(), 93u) << "frame " << frame;
        for (size_t i = 0; i < got.size(); ++i)
        {
            const size_t box = i / 2;
            if (i % 2 == 0)
                EXPECT_EQ(got[i]->who, std::to_string(floor.GetID()));
            else
                EXPECT_EQ(got[i]->who, std::to_string(boxes[box]->GetID()));
        }
    }
}
