// CMapMgr, which reads a scene's map file and owns the objects it describes.
#pragma once

#include "ZanEngine.h"
#include "core/QuadObject.h"

#include <map>
#include <string>

/// The pictures, obstacles and named points of the current scene's map. One instance for the
/// whole run (g_pMapMgr); the game deletes it when it is destroyed.
class CMapMgr
{
public:
    enum
    {
        MAX_OBJECTS = 500
    };

    CMapMgr();
    ~CMapMgr();

    /// Reads a map file (UTF-8 XML, root "地图") and creates its objects, appended after the
    /// ones already held. False, with an error record and nothing changed, when the name is
    /// null or the file cannot be read or parsed. Objects beyond the table's 500 slots are
    /// skipped with one warning record.
    bool Load(const char* file);
    /// Deletes every object and named point. The settings-file name stays. Always true.
    bool Clear();
    /// The named point, or (0, 0) when the map has none of that name.
    CZanVector GetPoint(const char* name) const;
    /// The settings file named by the latest map with a description; empty before.
    std::string GetSettingsFile() const { return m_strSettings; }

    int GetObjectCount() const { return m_nCount; }
    /// Slot i of the table, or null (also outside 0 .. 499).
    CZanObject* GetObject(int slot) const;
    size_t GetPointCount() const { return m_mapPoints.size(); }

private:
    CMapMgr(const CMapMgr&) = delete;
    CMapMgr& operator=(const CMapMgr&) = delete;

    /// True when no slot is left; the first time in a load it writes the warning record.
    bool TableFull();

    int m_nCount;
    std::string m_strSettings;
    CZanObject* m_apObjects[MAX_OBJECTS];
    std::map<std::string, CZanVector*> m_mapPoints;
    bool m_bFullReported;
};

/// The map manager of the run, made by the game object; null before.
extern CMapMgr* g_pMapMgr;
