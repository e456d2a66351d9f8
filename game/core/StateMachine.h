// Table-driven state machines and timed events: every behaviour of the game runs on them.
#pragma once

#include <cstddef>
#include <deque>
#include <map>

/// One state: a fixed table of (event, next state, output) transitions.
class CState
{
public:
    CState(int id, unsigned capacity); // a capacity of 0 becomes 1
    ~CState();

    /// Stores the transition in the first free slot; a full table, or a next state of 0
    /// (which would read as a free slot), changes nothing.
    void AddTransition(int event, int next, int output);
    /// The first slot whose event matches; false when none does. The match is also kept
    /// in the last-match fields.
    bool Lookup(int event);

    int GetID() const { return m_nID; }
    int GetLastEvent() const { return m_nLastEvent; }
    int GetLastNext() const { return m_nLastNext; }
    int GetLastOutput() const { return m_nLastOutput; }

private:
    struct Transition
    {
        int event;
        int next;
        int output;
    };

    CState(const CState&) = delete;
    CState& operator=(const CState&) = delete;

    unsigned m_nCapacity;
    Transition* m_pTable;
    int m_nID;
    int m_nLastEvent;
    int m_nLastNext;
    int m_nLastOutput;
};

/// A machine of owned states. Current state 0 means stopped; output 0 means no action.
class CStateMachine
{
public:
    explicit CStateMachine(int initial);
    ~CStateMachine();

    /// Takes ownership and returns true. A state whose id is already present is refused:
    /// nothing changes and the caller keeps (and must free) it.
    bool AddState(CState* state);
    /// Feeds an event; returns the current state afterwards. A current state without a
    /// table stops the machine.
    int Process(int event);

    int GetCurrent() const { return m_nCurrent; }
    void SetCurrent(int state) { m_nCurrent = state; }
    int GetOutput() const { return m_nOutput; }

private:
    CStateMachine(const CStateMachine&) = delete;
    CStateMachine& operator=(const CStateMachine&) = delete;

    std::map<int, CState*> m_mapStates;
    int m_nCurrent;
    int m_nOutput;
};

/// An event due at a tick of GetTickCount.
struct TimedEvent
{
    unsigned due;
    int event;
};

/// An owner's list of timed events.
class CTimedEvents
{
public:
    /// Due at GetTickCount() + delay; delay 0 fires once the tick count has moved on.
    void Schedule(unsigned delay, int event);
    /// Appends an event due at an absolute tick.
    void Add(unsigned due, int event);
    /// Fires, in due order (stable), every event due strictly before now. Events the handler
    /// schedules join the list and fire in the same pump when due.
    template <class Handler> void Pump(Handler&& handler);
    void Clear() { m_events.clear(); }
    bool Empty() const { return m_events.empty(); }
    size_t Size() const { return m_events.size(); }

private:
    void Sort();
    static unsigned Now();

    std::deque<TimedEvent> m_events;
};

template <class Handler> void CTimedEvents::Pump(Handler&& handler)
{
    if (m_events.empty())
        return;
    Sort();
    while (!m_events.empty() && m_events.front().due < Now())
    {
        const int event = m_events.front().event;
        m_events.pop_front();
        handler(event);
    }
}
