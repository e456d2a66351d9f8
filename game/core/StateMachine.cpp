#include "core/StateMachine.h"

#include "core/GameClock.h"

#include "ZanWin32.h"

#include <algorithm>

CState::CState(int id, unsigned capacity)
    : m_nCapacity(capacity ? capacity : 1), m_pTable(new Transition[m_nCapacity]()), m_nID(id),
      m_nLastEvent(0), m_nLastNext(0), m_nLastOutput(0)
{
}

CState::~CState()
{
    delete[] m_pTable;
}

void CState::AddTransition(int event, int next, int output)
{
    if (next == 0)
        return;
    for (unsigned i = 0; i < m_nCapacity; ++i)
        if (m_pTable[i].next == 0)
        {
            m_pTable[i] = {event, next, output};
            return;
        }
}

bool CState::Lookup(int event)
{
    m_nLastEvent = m_nLastNext = m_nLastOutput = 0;
    for (unsigned i = 0; i < m_nCapacity && m_pTable[i].next != 0; ++i)
        if (m_pTable[i].event == event)
        {
            m_nLastEvent = m_pTable[i].event;
            m_nLastNext = m_pTable[i].next;
            m_nLastOutput = m_pTable[i].output;
            return true;
        }
    return false;
}

CStateMachine::CStateMachine(int initial) : m_nCurrent(initial), m_nOutput(0) {}

CStateMachine::~CStateMachine()
{
    for (auto& entry : m_mapStates)
        delete entry.second;
}

bool CStateMachine::AddState(CState* state)
{
    return state && m_mapStates.emplace(state->GetID(), state).second;
}

int CStateMachine::Process(int event)
{
    if (m_nCurrent == 0)
        return 0;
    auto it = m_mapStates.find(m_nCurrent);
    if (it == m_mapStates.end())
    {
        m_nCurrent = 0;
        return 0;
    }
    const bool matched = it->second->Lookup(event);
    m_nOutput = 0;
    if (matched)
    {
        m_nCurrent = it->second->GetLastNext();
        m_nOutput = it->second->GetLastOutput();
    }
    return m_nCurrent;
}

void CTimedEvents::Schedule(unsigned delay, int event)
{
    m_events.push_back({Now() + delay, event});
}

void CTimedEvents::Add(unsigned due, int event)
{
    m_events.push_back({due, event});
}

void CTimedEvents::Sort()
{
    std::stable_sort(m_events.begin(), m_events.end(),
                     [](const TimedEvent& a, const TimedEvent& b) { return a.due < b.due; });
}

unsigned CTimedEvents::Now()
{
    return GameTicks();
}
