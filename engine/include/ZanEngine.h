/// \file
/// ZanEngine: a 2-D game engine library. Include this one header to use all of it.
///
/// Using it, step by step:
///   1. KovCreate(9), KovPhysicsCreate(gravity), KovResourceCreate(): the three singletons.
///   2. Derive a game object from CGameBase, construct it, attach it with LoadGame.
///   3. SystemInitiate(): run log "运行日志.htm", window, graphics, sound, input, resources.
///      Only if it returns true, SystemStart(), which returns when the application quits.
///   4. Delete the game object, then Release the resource manager, the physics world and the
///      engine, in that order.
///
/// Errors are reported as records of the run log, never as exceptions; operations return the
/// results documented beside them. All narrow strings are GBK.
#pragma once

#include "Zan/ZanMath.h"
#include "Zan/ZanPacket.h"
#include "Zan/ZanCore.h"
#include "Zan/ZanGameBase.h"
#include "Zan/ZanInput.h"
#include "Zan/ZanObject.h"
#include "Zan/ZanPhysics.h"
#include "Zan/ZanGraphics.h"
#include "Zan/ZanSprite.h"
#include "Zan/ZanText.h"
#include "Zan/ZanResource.h"
#include "Zan/ZanSound.h"
#include "Zan/ZanParticle.h"
#include "Zan/ZanGui.h"
