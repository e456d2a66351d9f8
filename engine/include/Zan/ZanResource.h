// Resource handles and the resource manager. (Only the face the engine core calls.)
#pragma once

class CZanResourceMgr
{
public:
    /// The manager made by KovResourceCreate, or null.
    static CZanResourceMgr* Instance();
    bool InitDefaults();
    bool Load(const char* file);
    void Clear();
    void Release();
};

CZanResourceMgr* KovResourceCreate();
