// The scenes of Skyfloat's screen flow, as the game object builds them.
#pragma once

class CScene;

/// Makes the scene a flow output shows (3200 to 3205), or null for others.
CScene* MakeSkyfloatScene(int output, int level);
