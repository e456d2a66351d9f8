#include "app/net/NetLobby.h"

namespace
{
constexpr int kKeyEscape = 0x01, kKeyEnter = 0x1C, kKeyPadEnter = 0x9C, kBackspace = 8;
constexpr double kLastShown = 4.0; // seconds a finished session's line stays
} // namespace

bool CNetLobby::AddressChar(int c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '.' ||
           c == '-' || c == ':';
}

void CNetLobby::Open(CNetMatch* match)
{
    m_pMatch.reset(match);
    m_pMatch->SetRematch(true);
    m_strLast.clear();
}

bool CNetLobby::Key(int dik, int level)
{
    if (m_pMatch)
        return false;
    if (m_bTyping)
    {
        if (dik == kKeyEscape)
            m_bTyping = false;
        else if ((dik == kKeyEnter || dik == kKeyPadEnter) && !m_strAddress.empty())
        {
            m_bTyping = false;
            Open(CNetMatch::Join(m_strAddress));
        }
        // Every other key is typing (or a player trying the keys): it changes nothing here.
        return true;
    }
    if (dik == KEY_HOST)
    {
        Open(CNetMatch::Host(CNetMatch::DEFAULT_PORT));
        m_pMatch->SetLevel(level);
        return true;
    }
    if (dik == KEY_JOIN)
    {
        m_bTyping = true;
        return true;
    }
    return false;
}

bool CNetLobby::Char(int c)
{
    if (!m_bTyping)
        return false;
    if (c == kBackspace && !m_strAddress.empty())
        m_strAddress.pop_back();
    else if (AddressChar(c) && m_strAddress.size() < size_t(MAX_ADDRESS))
        m_strAddress += char(c);
    return true;
}

bool CNetLobby::Close(double now)
{
    if (!m_pMatch || m_pMatch->State() != CNetMatch::NET_ENDED || m_pMatch->Owed())
        return false;
    m_strLast = m_pMatch->EndReason();
    m_dLastUntil = now + kLastShown;
    m_pMatch.reset();
    return true;
}

std::string CNetLobby::Notice(double now) const
{
    if (m_bTyping)
        return "join: " + m_strAddress + "_  Enter/Esc";
    if (m_pMatch)
        return m_pMatch->Notice();
    return now < m_dLastUntil ? m_strLast : std::string();
}
