#include "core/StateMachine.h"
#include "ZanHeadless.h"
#include "ZanWin32.h"

#include <gtest/gtest.h>

namespace
{
CStateMachine* TwoStateMachine()
{
    auto* m = new CStateMachine(1);
    auto* a = new CState(1, 3);
    a->AddTransition(10, 2, 100);
    a->AddTransition(10, 1, 999); // the first added wins
    a->AddTransition(11, 1, 101);
    m->AddState(a);
    auto* b = new CState(2, 1);
    b->AddTransition(20, 1, 200);
    m->AddState(b);
    return m;
}
} // namespace

TEST(StateMachine, TransitionsMoveTheStateAndSetTheOutput)
{
    std::unique_ptr<CStateMachine> m(TwoStateMachine());
    EXPECT_EQ(m->Process(10), 2);
    EXPECT_EQ(m->GetOutput(), 100);
    EXPECT_EQ(m->Process(10), 2); // no row for 10 in state 2
    EXPECT_EQ(m->GetOutput(), 0);
    EXPECT_EQ(m->Process(20), 1);
    EXPECT_EQ(m->GetOutput(), 200);
    EXPECT_EQ(m->Process(11), 1);
    EXPECT_EQ(m->GetOutput(), 101);
}

TEST(StateMachine, FullTablesAndZeroNextStatesStoreNothing)
{
    CState s(5, 0); // capacity 0 becomes 1
    s.AddTransition(1, 0, 7);
    EXPECT_FALSE(s.Lookup(1));
    s.AddTransition(1, 6, 7);
    s.AddTransition(2, 6, 8); // table full
    EXPECT_TRUE(s.Lookup(1));
    EXPECT_EQ(s.GetLastOutput(), 7);
    EXPECT_FALSE(s.Lookup(2));
    EXPECT_EQ(s.GetLastNext(), 0);
}

TEST(StateMachine, MissingStateStopsTheMachineForGood)
{
    CStateMachine m(3);
    m.AddState(new CState(4, 1));
    EXPECT_EQ(m.Process(1), 0);
    EXPECT_EQ(m.GetCurrent(), 0);
    EXPECT_EQ(m.Process(1), 0);
    m.SetCurrent(4); // owners restart machines directly
    EXPECT_EQ(m.Process(1), 4);
}

TEST(StateMachine, DuplicateStateIdsKeepTheFirstAndLeaveTheSecondToItsCaller)
{
    CStateMachine m(1);
    auto* first = new CState(1, 1);
    first->AddTransition(1, 2, 3);
    EXPECT_TRUE(m.AddState(first));
    std::unique_ptr<CState> second(new CState(1, 1));
    second->AddTransition(1, 9, 9);
    EXPECT_FALSE(m.AddState(second.get()));
    EXPECT_EQ(m.Process(1), 2);
    // The refused state is still whole: the caller may use it and frees it here.
    EXPECT_TRUE(second->Lookup(1));
    EXPECT_EQ(second->GetLastNext(), 9);
}

TEST(TimedEvents, FireOnlyAfterTheTickHasPassedAndInScheduleOrder)
{
    ZanHeadlessEnable();
    CTimedEvents list;
    std::vector<int> fired;
    auto handler = [&](int e) { fired.push_back(e); };
    list.Schedule(0, 1);
    list.Schedule(5, 2);
    list.Schedule(0, 3);
    list.Pump(handler);
    EXPECT_TRUE(fired.empty()); // due now is not yet past
    ZanHeadlessAdvance(1);
    list.Pump(handler);
    EXPECT_EQ(fired, (std::vector<int>{1, 3}));
    ZanHeadlessAdvance(5);
    list.Pump(handler);
    EXPECT_EQ(fired, (std::vector<int>{1, 3, 2}));
    EXPECT_TRUE(list.Empty());
}

TEST(TimedEvents, EventsScheduledByTheHandlerFireInTheSamePumpWhenDue)
{
    ZanHeadlessEnable();
    ZanHeadlessAdvance(100);
    CTimedEvents list;
    std::vector<int> fired;
    list.Add(GetTickCount() - 10, 1);
    list.Add(GetTickCount() - 20, 2);
    list.Pump(
        [&](int e)
        {
            fired.push_back(e);
            if (e == 2)
                list.Add(GetTickCount() - 50, 3); // due, but joins behind the sorted event 1
            if (e == 1)
                list.Schedule(10, 4); // not due yet
        });
    EXPECT_EQ(fired, (std::vector<int>{2, 1, 3}));
    EXPECT_EQ(list.Size(), 1u);
    list.Clear();
    EXPECT_TRUE(list.Empty());
}
