#include "main/MainConst.h"

namespace MainConst {

const std::array<TCaptionPair, mcCount> MainCaptions = {{
    {"Caption", "Программа настройки Kalmir 9 CAN ver. %s"},
    {"MFile", "Ф&айл"},
    {"MALEit", "В&ыход"},
    {"MMConnection", "&Соединение"},
    {"MALConnect", "Подключиться"},
    {"MALDisconnect", "Отключится"},
    {"MSBCom", "Порт: %s"},
    {"MSBFhone", "Телефон: %s"},
    {"MSBVersion", "Прошивка: %s"},
    {"MSBMemory", "Память: %s"},
    {"MSBDevice", "Устройство: %s"},
    {"MMLogSettings", "Управление окном &лога"},
    {"MLActExpatd", "Раскрывать узлы автоматически"},
    {"MLActScroll", "Автопрокрутка"},
    {"MLActVisible", "Отображать окно лога"},
    {"MLActSaveToFile", "Сохранить"},
    {"ALGeneralSettings", "Основные"},
    {"ALGPRSSettings", "Каналы связи"},
    {"ALGPSSettings", "Настройки GPS"},
    {"ALEventSettings", "Настройки событий"},
    {"ALFlags", "Флаги"},
    {"ALCANSettings", "Настройки CAN параметров"},
    {"ALHistory", "История"},
    {"ALEngNumbers", "Доступ"},
    {"ALTouchMemory", "Ключи Touch Memory"},
    {"MMPage", "Страницы &настроек"},
    {"MMAbout", "О программе..."},
    {"MLActCopyToClpbr", "Копировать в буфер"},
    {"MALAbout", "О программе..."},
    {"MLActClear", "Очистить лог"},
}};

} // namespace MainConst
