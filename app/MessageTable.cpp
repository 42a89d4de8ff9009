#include "app/MessageTable.h"

const std::array<std::array<const char*, 2>, MessageCount> MessageTable = {{
    {"Чтение параметров...", "Parameters Read..."},
    {"Чтение результатов...", "Results Read..."},
    {"Ошибка связи", "Link Error"},
    {"Чтение образа экрана...", "Screenshot reading..."},
    {"Образ экрана считан", "Screenshot readed"},
    {"Считано записей: ", "Records loaded: "},
    {"Архив пуст", "Archive empty"},
    {"Измеренные значения плотности", "Meassured debsity values"},
    {"Дата", "Date"},
    {"Время", "Time"},
    {"Материал", "Material"},
    {"Плотность, кг/м^3", "Density, kg/m^3"},
    {"Температура, °C", "Temperature, °C"},
    {"Проверьте подключение", "Check Connection"},
}};

std::uint8_t LanguageIndex = 0;

QString MessageText(TMessageId id) {
    return QString::fromUtf8(MessageTable[id][LanguageIndex > 1 ? 0 : LanguageIndex]);
}
