// Hosting or joining from inside the game: on the two-player wait screen F2 hosts and F3 opens
// a line for the host's address (Enter joins, Escape cancels). No player's keys are among
// these, so the screen shows and does what it always did.
#pragma once

#include "app/net/NetMatch.h"

#include <memory>
#include <string>

class CNetLobby
{
public:
    enum
    {
        KEY_HOST = 0x3C, ///< F2
        KEY_JOIN = 0x3D, ///< F3
        MAX_ADDRESS = 63
    };

    /// A key released on the wait screen, no session running; `level` is the chosen one.
    /// True when the lobby took it.
    bool Key(int dik, int level);
    /// A typed character while the address line is open; true when taken.
    bool Char(int character);
    bool Typing() const { return m_bTyping; }
    /// Closes the address line (the screen it belongs to is gone).
    void CancelTyping() { m_bTyping = false; }
    const std::string& Address() const { return m_strAddress; }
    /// The session this lobby started, or null.
    CNetMatch* Match() const { return m_pMatch.get(); }
    /// Drops a session that is over and keeps its last line a while; true when it did.
    bool Close(double now);
    /// The line to show when no match runs (empty: none).
    std::string Notice(double now) const;

    /// True for the characters an address may hold: letters, digits, '.', '-' and ':'.
    static bool AddressChar(int character);

private:
    void Open(CNetMatch* match);

    bool m_bTyping = false;
    std::string m_strAddress;
    std::unique_ptr<CNetMatch> m_pMatch;
    std::string m_strLast; ///< how the last session ended
    double m_dLastUntil = 0.0;
};
