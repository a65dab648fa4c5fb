#include "link/KV_BD.h"

namespace qv {

void TKVBaseDevice::LoadSettings(TIniFile&) {}
void TKVBaseDevice::SaveSettings(TIniFile&) {}

}  // namespace qv
