#include "pages/ConstGeneralSettingsFrame.h"

namespace ConstGeneralSettingsFrame {

// Bound in order to ObjectNumberLabel, LatLabel, LonLabel, LabelTimeInterval, PathSmoothLabel,
// GPSOffLabel, GSMOffLabel, TimeOffLabel, TimeGSMOnLabel and EnergyGroup.
const std::array<CaptionPair, GeneralCaptionCount> GeneralCaptions = {{
    {"ObjectNumberCaption", "Номер объекта:"},
    {"LatCaption", "Смещение по широте (в метрах):"},
    {"LonCaption", "Смещение по долготе (в метрах):"},
    {"TimeIntervalCaption", "Интервал записи точек \"по времени\" (мин.):"},
    {"PathSmoothingCaption", "Сглаживание маршрута:"},
    {"GPSOffCaption", "Отключать GPS модуль в режиме \"Энергосбережения\":"},
    {"GSMOffCaption", "Отключать GSM модем в режиме \"Энергосбережения\":"},
    {"TimeOffCaption",
     "Время отключения GPS модуля/GSM модема в режиме \"Энергосбережения\" (сек.):"},
    {"TimeGSMOnCaption", "Период включения GSM модема после выключения зажигания (мин.)\r\n"
                         "255 - не включать модем до включения зажигания:"},
    {"EnergyGroupCaption", "Энергосбережение"},
}};

} // namespace ConstGeneralSettingsFrame
