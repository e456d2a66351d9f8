#include "core/Scene.h"

#include "ZanEngine.h"

#include <string>

namespace
{
CScene* (*s_pSceneSource)() = nullptr;
} // namespace

void SetSceneSource(CScene* (*source)())
{
    s_pSceneSource = source;
}

CScene* CurrentScene()
{
    return s_pSceneSource ? s_pSceneSource() : nullptr;
}

bool LoadSceneResources(const char* file)
{
    CZanResourceMgr* resources = CZanResourceMgr::Instance();
    if (!resources || !file)
        return false;
    const std::string name = std::string("resource_") + file;
    return resources->Load(name.c_str());
}
