#include "pages/ConstGPRSSettingsFrame.h"

namespace ConstGPRSSettingsFrame {

const std::array<CaptionPair, GPRSCaptionCount> GPRSCaptions = {{
    {"CommonGPRSSettingsBoxCaption", "Общие настройки GPRS"},
    {"MainGPRSSettingsBoxCaption", "Основные настройки"},
    {"AlternativeGPRSSettingsBoxCaption", "Альтернативные настройки"},
    {"GPRSActiveCaption", "GPRS включён:"},
    {"GPRSEconomModeCaption", "Экономия траффика:"},
    {"TimeSynchronizeCaption", "Синхронизация времени с сервером:"},
    {"RebootTimeCaption", "Время до перезагрузки модема в режиме GPRS:"},
    {"GPRSPasswordLabel", "Пароль для идентификации устройства на сервере:"},
    {"PhoneNumberCaption", "Номер телефона GPRS:"},
    {"AccessPointCaption", "Точка доступа в GPRS:"},
    {"UserNameCaption", "Имя пользователя GPRS:"},
    {"PasswordCaption", "Пароль GPRS:"},
    {"IPAddressCaption", "IP адрес сервера для GPRS соединения:"},
    {"PortCaption", "Порт сервера для GPRS соединения:"},
    {"FirstDNSCaption", "Адрес первичного DNS сервера:"},
    {"SecondDNSCaption", "Адрес вторичного DNS сервера:"},
    {"AltPhoneNumberCaption", "Номер телефона GPRS:"},
    {"AltAccessPointCaption", "Точка доступа в GPRS:"},
    {"AltUserNameCaption", "Имя пользователя GPRS:"},
    {"AltPasswordCaption", "Пароль GPRS:"},
    {"AltIPAddressCaption", "IP адрес сервера для GPRS соединения:"},
    {"AltPortCaption", "Порт сервера для GPRS соединения:"},
    {"AltFirstDNSCaption", "Адрес первичного DNS сервера:"},
    {"AltSecondDNSCaption", "Адрес вторичного DNS сервера:"},
    {"RebootTimeComboValues", "10 минут\r\n11 минут\r\n12 минут\r\n13 минут\r\n14 минут\r\n"
                              "15 минут\r\n16 минут\r\n17 минут\r\n18 минут\r\n19 минут\r\n"
                              "20 минут\r\n"},
}};

const std::array<CaptionPair, TextValueCount> TextValues = {{
    {"defGPRSRassword", "quillmop"},
    {"defPhoneNumber", "+79161234567"},
    {"defAccessPoint", "internet.mts.ru"},
    {"defUserName", "internet"},
    {"defPassword", "quillmop"},
    {"defIPAddress", "000.000.000.000"},
    {"defPort", "0"},
    {"defFirstDNS", "000.000.000.000"},
    {"defSecondDNS", "000.000.000.000"},
    {"defAltPhoneNumber", "+79161234567"},
    {"defAltAccessPoint", "internet.mts.ru"},
    {"defAltUserName", "internet"},
    {"defAltPassword", "quillmop"},
    {"defAltIPAddress", "000.000.000.000"},
    {"defAltPort", "0"},
    {"defAltFirstDNS", "000.000.000.000"},
    {"defAltSecondDNS", "000.000.000.000"},
}};

} // namespace ConstGPRSSettingsFrame
