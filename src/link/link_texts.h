#pragma once

namespace qv::texts {

// The link's messages, exactly as the user has always seen them.
inline constexpr const char* kNoLink =
    "RS232. Нет связи. Проверьте правильность соединения PC и устройства.";
inline constexpr const char* kByteTimeout = "RS232. Ошибка задержки приема внутри блока.";
inline constexpr const char* kChecksumError = "RS232. Ошибка обмена.(0)";
inline constexpr const char* kHeaderError = "RS232. Ошибка обмена.(4)";
inline constexpr const char* kBusy =
    "Устройство занято. Возможно, оно находится в режиме местного управления.";
inline constexpr const char* kNoFreePort = "Нет свободного COM-порта!";
// A reply that ends before the fields its command carries: the stale bytes behind it are never
// taken as data.
inline constexpr const char* kShortReply = "RS232. Ответ устройства короче ожидаемого.";

}  // namespace qv::texts
