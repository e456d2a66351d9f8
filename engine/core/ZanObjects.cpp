// The engine's object registry, per-frame message queue and update pass.
#include "Zan/ZanCore.h"
#include "Zan/ZanGameBase.h"
#include "Zan/ZanObject.h"
#include "Zan/ZanPacket.h"
#include "Zan/ZanPhysics.h"

#include <cstring>
#include <vector>

namespace
{
// Bytes of the frame buffer that messages may use; the last byte is never handed out.
const int32_t kMsgLimit = 4095;
} // namespace

bool CZanEngine::AddObject(CZanObject* object)
{
    if (!object)
        return true;
    m_mapObjects[object->GetID()] = object;
    if (CZanPhysicsEngine* world = CZanPhysicsEngine::Instance())
        world->AddBody(object->GetID(), object->GetBody());
    return true;
}

bool CZanEngine::RemoveObject(CZanObject* object)
{
    if (!object)
        return true;
    m_mapObjects.erase(object->GetID());
    if (CZanPhysicsEngine* world = CZanPhysicsEngine::Instance())
        world->RemoveBody(object->GetID());
    return true;
}

CZanObject* CZanEngine::GetObject(unsigned long id)
{
    auto it = m_mapObjects.find(id);
    return it == m_mapObjects.end() ? nullptr : it->second;
}

bool CZanEngine::SendToObject(unsigned long sender, unsigned long target, CPacket_Read& packet)
{
    const int64_t length = (int64_t(packet.Size()) + 7) / 8;
    const int64_t offset = m_nMsgFill;
    // Once a message is refused the count stays above the limit for the rest of the frame;
    // holding it there (rather than adding on) keeps it from ever wrapping around.
    if (offset + length > kMsgLimit)
    {
        m_nMsgFill = kMsgLimit + 1;
        return false;
    }
    m_nMsgFill = int32_t(offset + length);
    packet.ReadData(m_aMsgData + offset, unsigned(length * 8));
    SZanMessage message;
    message.sender = uint32_t(sender);
    message.target = uint32_t(target);
    message.offset = int32_t(offset);
    message.end = int32_t(offset + length);
    message.length = int32_t(length);
    m_lstMessages.push_back(message);
    return true;
}

void CZanEngine::DeliverMessages()
{
    // Handlers may send again: those messages go into the cleared buffer and the emptied
    // queue, for the next frame.
    unsigned char data[sizeof(m_aMsgData)];
    std::memcpy(data, m_aMsgData, sizeof(data));
    m_nMsgFill = 0;
    std::memset(m_aMsgData, 0, sizeof(m_aMsgData));
    std::list<SZanMessage> messages;
    messages.swap(m_lstMessages);

    for (const SZanMessage& message : messages)
    {
        CPacket_Write writer;
        writer.WriteData(data + message.offset, unsigned(message.length) * 8u);
        CPacket_Read packet(writer);
        // Looked up per message: an earlier handler may have removed the target.
        if (message.target == ZAN_ID_GAME)
        {
            if (!m_pMainLoop)
                continue;
            if (message.sender == ZAN_ID_ENGINE)
                m_pMainLoop->OnEngineMessage(&packet);
            else
                m_pMainLoop->OnObjectMessage(message.sender, &packet);
            continue;
        }
        if (message.target == ZAN_ID_ENGINE)
            continue;
        CZanObject* object = GetObject(message.target);
        if (!object)
            continue;
        if (message.sender == ZAN_ID_ENGINE)
            object->OnEngineMessage(&packet);
        else
            object->OnObjectMessage(message.sender, &packet);
    }
}

void CZanEngine::UpdateObjects()
{
    // A snapshot of ids: objects added during the pass wait for the next frame, objects
    // removed during it are skipped.
    std::vector<unsigned long> ids;
    ids.reserve(m_mapObjects.size());
    for (const auto& entry : m_mapObjects)
        ids.push_back(entry.first);
    for (unsigned long id : ids)
    {
        auto it = m_mapObjects.find(id);
        if (it != m_mapObjects.end())
            it->second->Update();
    }
}

void CZanEngine::ClearObjects()
{
    m_mapObjects.clear();
    m_lstMessages.clear();
    m_nMsgFill = 0;
    std::memset(m_aMsgData, 0, sizeof(m_aMsgData));
}
