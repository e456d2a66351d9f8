/// \file
/// A small widget layer for games: widgets with ids, buttons made of two sprites, a cursor
/// drawn as a sprite, and a manager that finds widgets by id.
///
/// The engine neither routes input to widgets nor draws them (their sprites are ordinary
/// render-list entries). A game creates and deletes its widgets and its cursor itself, adds them
/// to a CZanGuiMgr, and calls the input hooks from its own input handling; HitTest tells it
/// which widget lies under the mouse. Remove a widget from the manager before deleting it.
/// Widgets take their sprites from the resource manager, so load the resource file first.
#pragma once

#include "Zan/ZanMath.h"
#include "Zan/ZanResource.h"

#include <cstdint>
#include <map>

class CZanSprite;

/// The abstract widget: an id and an enabled flag. Every construction takes the next id of a
/// process-wide counter that starts at 100 (ids are never reused); a copy keeps the id of its
/// source. A new widget is enabled.
class CZanGuiObject
{
public:
    /// Takes the next id; enabled.
    CZanGuiObject();
    /// Keeps the id of `other`: a manager holding both finds only one of them.
    CZanGuiObject(const CZanGuiObject& other) = default;
    /// Takes the id and state of `other`.
    CZanGuiObject& operator=(const CZanGuiObject& other) = default;
    virtual ~CZanGuiObject() {}

    /// Places the widget's centre at `position` (screen pixels).
    virtual void Move(CZanVector& position) = 0;
    /// Shows or hides the widget's looks.
    virtual void Show(bool visible) = 0;
    /// A disabled widget ignores input (as the subclass decides); the base stores the flag.
    virtual void Enable(bool enable) { m_bEnabled = enable; }
    /// True when the screen point (x, y) lies on the widget as it is shown now.
    virtual bool HitTest(float x, float y) const = 0;

    /// The widget's id, its key in a CZanGuiMgr.
    unsigned long GetID() const { return m_nID; }
    /// See Enable.
    bool IsEnabled() const { return m_bEnabled; }

protected:
    // Input and life-cycle hooks, for a game's subclasses to call. The base ignores them;
    // the mouse and key hooks return true when they changed or used the event.

    /// Once per frame, with the seconds since the previous call.
    virtual void Update(float elapsed) { (void)elapsed; }
    /// The widget's screen becomes current.
    virtual void Enter() {}
    /// The widget's screen is left.
    virtual void Leave() {}
    /// True when a transition started by Enter or Leave has finished; the base has none.
    virtual bool IsDone() { return true; }
    /// The widget gains (true) or loses the keyboard focus.
    virtual void Focus(bool focused) { (void)focused; }
    /// The mouse came over the widget (true) or left it.
    virtual void MouseOver(bool over) { (void)over; }
    /// The mouse moved to (x, y), screen pixels.
    virtual bool MouseMove(float x, float y)
    {
        (void)x;
        (void)y;
        return false;
    }
    /// The left button went down (true) or up.
    virtual bool MouseLButton(bool down)
    {
        (void)down;
        return false;
    }
    /// The right button went down (true) or up.
    virtual bool MouseRButton(bool down)
    {
        (void)down;
        return false;
    }
    /// The wheel turned by `delta` (120 per notch).
    virtual bool MouseWheel(int delta)
    {
        (void)delta;
        return false;
    }
    /// A key (DIK_* code) changed: `state` non-zero for down.
    virtual bool KeyClick(int key, int state)
    {
        (void)key;
        (void)state;
        return false;
    }

    uint32_t m_nID;  ///< see GetID
    bool m_bEnabled; ///< see Enable
};

/// A button of two looks with a push or toggle state; still abstract (Move, Show and HitTest
/// are the subclass's). Copies share both sprites (the handles count the copies).
class CZanGuiButton : public CZanGuiObject
{
public:
    /// Takes the next id and two new sprites from the resource manager (an unknown name gives
    /// a copy of its default sprite, so the shared default never moves). The sprite named `second`
    /// becomes the first look, shown while the button is off, and starts visible; the one named
    /// `first` becomes the second look, shown while it is on, and starts hidden. Push mode, off.
    CZanGuiButton(const char* first, const char* second);
    ~CZanGuiButton() override {}

    /// false: push button (on while held); true: toggle button (flips on each full click).
    void SetMode(bool toggle) { m_bMode = toggle; }
    /// Sets the state; a CZanGuiSpriteButton shows its look at the next Update.
    void SetState(bool on) { m_bState = on; }
    /// True while a push button is held, or while a toggle button is on.
    bool GetState() const { return m_bState; }
    /// See SetMode.
    bool GetMode() const { return m_bMode; }
    /// The look shown while off; null without a resource manager.
    CZanSprite* GetFirstLook() const { return m_pFirstLook.Get(); }
    /// The look shown while on; null without a resource manager.
    CZanSprite* GetSecondLook() const { return m_pSecondLook.Get(); }

protected:
    /// Down: remembers the state and turns the button on; returns false. Up: a push button
    /// turns off, a toggle button ends opposite to where it was before the press; returns
    /// true (a click ended).
    bool MouseLButton(bool down) override;

    bool m_bMode;                         ///< see SetMode
    bool m_bState;                        ///< see GetState
    bool m_bPrevState;                    ///< the state when the left button went down
    CZanResPtr<CZanSprite> m_pFirstLook;  ///< see GetFirstLook
    CZanResPtr<CZanSprite> m_pSecondLook; ///< see GetSecondLook
};

/// A ready-made button: both looks centred on one position, the first look shown while off and
/// the second while on, hit by the rectangle of the look on show. A game calls MouseLButton
/// when the left button goes down or up over it (or up anywhere after a press on it).
class CZanGuiSpriteButton : public CZanGuiButton
{
public:
    /// As CZanGuiButton; placed at (0, 0), shown.
    CZanGuiSpriteButton(const char* first, const char* second);

    void Move(CZanVector& position) override;
    /// Hiding hides both looks; showing shows the look of the current state.
    void Show(bool visible) override;
    /// The unrotated rectangle of the look on show, scaled as drawn; false while hidden.
    /// Minimum edges count as inside, maximum edges as outside.
    bool HitTest(float x, float y) const override;
    /// A disabled button ignores the mouse and stays as it is.
    bool MouseLButton(bool down) override;
    /// Shows the look of the current state, after SetState for instance.
    void Update(float elapsed) override;

    /// The centre of both looks.
    CZanVector GetPosition() const { return m_vPosition; }
    /// See Show.
    bool IsShown() const { return m_bShown; }

private:
    void ShowLooks();

    CZanVector m_vPosition;
    bool m_bShown;
};

/// A mouse cursor drawn as a sprite. Copies share the sprite.
class CZanGuiMouse
{
public:
    /// A new sprite of that name from the resource manager (unknown: a copy of its default
    /// sprite), hidden until the cursor is shown.
    explicit CZanGuiMouse(const char* name);
    virtual ~CZanGuiMouse() {}

    /// For subclasses that follow the mouse or animate; the base does nothing.
    virtual void Update() {}
    /// Shows or hides the cursor's sprite.
    virtual void Show(bool visible);
    /// For subclasses with several looks; the base does nothing.
    virtual void SetState(int state) { (void)state; }

    /// The cursor's sprite (null without a resource manager); the game moves it.
    CZanSprite* GetSprite() const { return m_pSprite.Get(); }

protected:
    CZanResPtr<CZanSprite> m_pSprite; ///< see GetSprite
};

/// Widgets by id, and the cursor. Owns neither: the game deletes them, after removing a widget
/// from the manager. Requests for an id that is not registered do nothing and return false.
class CZanGuiMgr
{
public:
    CZanGuiMgr() : m_pCursor(nullptr) {}
    /// Forgets the widgets and the cursor without deleting them.
    virtual ~CZanGuiMgr() {}

    /// Registers the widget under its id, replacing a widget registered with the same id (a
    /// copy, say). False for null.
    bool AddObject(CZanGuiObject* object);
    /// Forgets the widget (not deleted); false when the id was not registered.
    bool DelObject(unsigned long id);
    /// The widget, or null.
    CZanGuiObject* GetObjectA(unsigned long id) const;
    /// The widget's Move.
    bool MoveObject(unsigned long id, CZanVector& position);
    /// The widget's Show.
    bool ShowObject(unsigned long id, bool visible);
    /// The widget's Enable.
    bool EnableObject(unsigned long id, bool enable);
    /// Null: false, nothing changes. Otherwise the cursor replaces the previous one (whose
    /// sprite is hidden), the system cursor is hidden (one ShowCursor(FALSE) per call) and
    /// the cursor's sprite shown; true.
    bool SetCursor(CZanGuiMouse* cursor);
    /// The cursor, or null.
    CZanGuiMouse* GetCursor() const { return m_pCursor; }
    /// Widgets registered.
    size_t GetObjectCount() const { return m_mapObjects.size(); }

private:
    std::map<unsigned long, CZanGuiObject*> m_mapObjects;
    CZanGuiMouse* m_pCursor;
};
