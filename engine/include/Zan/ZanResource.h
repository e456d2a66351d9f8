// Resource handles and the resource manager. (Only the face the engine core calls.)
#pragma once

class CZanResourceMgr
{
public:
    bool InitDefaults();
    bool Load(const char* file);
    void Clear();
    void Release();
};

CZanResourceMgr* KovResourceCreate();
