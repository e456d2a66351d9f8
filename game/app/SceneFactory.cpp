#include "app/SceneFactory.h"

#include "core/Flow.h"
#include "scenes/Level.h"
#include "scenes/Scenes.h"

CScene* MakeSkyfloatScene(int output, int level)
{
    switch (output)
    {
    case FLOW_SHOW_SPLASH:
        return new CSplashScene;
    case FLOW_SHOW_MENU:
        return new CMenuScene;
    case FLOW_SHOW_ONE_PLAYER_WAIT:
        return new CSinglePlayerWait;
    case FLOW_SHOW_TWO_PLAYER_WAIT:
        return new CTwoPlayerWait;
    default:
        return MakeLevelScene(output, level);
    }
}
