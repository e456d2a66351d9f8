// Bit-level message payloads: CPacket_Data, CPacket_Write, CPacket_Read.
#pragma once

class CPacket_Data;
class CPacket_Write;
class CPacket_Read;
