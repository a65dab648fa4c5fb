#pragma once

namespace qv::texts {

// The jobs' progress stages and messages, exactly as the user has always seen them.
inline constexpr const char* kConnecting = "Не могу подключиться к МК...";
inline constexpr const char* kIdentifying = "Определение версии МК...";
inline constexpr const char* kUploading = "Загрузка прошивки...";
inline constexpr const char* kReadingSettings = "Чтение настроек...";
inline constexpr const char* kReadingFat = "Чтение FAT...";
inline constexpr const char* kWritingSettings = "Запись настроек...";

inline constexpr const char* kTypeMismatch = "Тип МК не совпадает с версией ПО.";
inline constexpr const char* kLowSupply = "Низкое питание устройства(1).";
inline constexpr const char* kEraseFailed = "Ошибка стирания памяти программ.";
inline constexpr const char* kAddressError1 = "Ошибка адресации (1).";
inline constexpr const char* kAddressError2 = "Ошибка адресации (2).";
inline constexpr const char* kWriteFailed1 = "Сбой при записи.";
inline constexpr const char* kWriteFailed2 = "Сбой при записи(2).";
inline constexpr const char* kUploadDone =
    "Загрузка окончена. Производится сброс настроек. Через 10 секуд отключите МК от компьютера.";

inline constexpr const char* kSavedToFile = "Настройки сохранены в файл ";

inline constexpr const char* kReplugPrompt =
    "Отключите МК от USB. Подождите 5 секунд, вновь подключите и через 10 секунд нажмите кнопку "
    "\"Yes\".";
inline constexpr const char* kDeviceVersionMismatch =
    "Версия настроек не совпадает с версией устройства!";
inline constexpr const char* kFirmwareVersionMismatch =
    "Версия настроек не совпадает с версией прошивки!";
inline constexpr const char* kSettingsWritten = "Настройки записаны в МК";

// Refusals of input that would otherwise send wrong bytes to the device. Each ends the job before
// anything is written.
inline constexpr const char* kFirmwareFileDamaged =
    "Файл прошивки повреждён: он короче 7 байт описания (тип МК, версия, адрес загрузки).";
inline constexpr const char* kSettingsFileDamaged =
    "Файл настроек повреждён: он короче слова версии и таблицы областей (62 байта).";
// Followed by the area number and kAreaOutsideEnd.
inline constexpr const char* kAreaOutsideFile = "Файл настроек повреждён: область ";
inline constexpr const char* kAreaOutsideEnd = " лежит за пределами сохранённых настроек.";
inline constexpr const char* kDeviceFatTooLong =
    "Таблица областей МК повреждена: в ней больше 23 записей. Настройки не записаны.";
// Followed by the area number and kAreaTooShortEnd.
inline constexpr const char* kAreaTooShort = "Таблица областей повреждена: длина области ";
inline constexpr const char* kAreaTooShortEnd = " меньше 4 байт. Настройки не записаны.";

// File errors, followed by the file's name, ": " and the system's reason.
inline constexpr const char* kCannotReadFile = "Не удалось прочитать файл ";
inline constexpr const char* kCannotWriteFile = "Не удалось записать файл ";

}  // namespace qv::texts
