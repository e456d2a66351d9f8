// The screen flow's vocabulary: the states, events and outputs every floor names, and the
// message that asks the game for a change of screen.
#pragma once

/// Flow states, events and outputs of the screen flow.
enum EFlow
{
    FLOW_START = 3000,
    FLOW_SPLASH = 3001,
    FLOW_MENU = 3002,
    FLOW_ONE_PLAYER_WAIT = 3003,
    FLOW_TWO_PLAYER_WAIT = 3004,
    FLOW_ONE_PLAYER_LEVEL = 3005,
    FLOW_TWO_PLAYER_LEVEL = 3006,

    FLOW_EVENT_START = 3100,
    FLOW_EVENT_TO_MENU = 3102,
    FLOW_EVENT_ONE_PLAYER = 3103,
    FLOW_EVENT_TWO_PLAYERS = 3104,
    FLOW_EVENT_START_LEVEL = 3106,
    FLOW_EVENT_LEVEL_OVER = 3107,

    FLOW_SHOW_SPLASH = 3200,
    FLOW_SHOW_MENU = 3201,
    FLOW_SHOW_ONE_PLAYER_WAIT = 3202,
    FLOW_SHOW_TWO_PLAYER_WAIT = 3203,
    FLOW_SHOW_ONE_PLAYER_LEVEL = 3204,
    FLOW_SHOW_TWO_PLAYER_LEVEL = 3205,

    SCENE_MESSAGE = 10000 ///< a game message with this code is for the current scene
};

/// Asks the game for a change of screen; it takes effect at the next message dispatch.
/// A level number other than 0 travels with the event (the wait screens' start).
void PostFlowEvent(int event, int level = 0);
