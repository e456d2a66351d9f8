// CZanObject: the engine object with an id, a physics body, an update and message hooks.
#pragma once

class CZanObject;
