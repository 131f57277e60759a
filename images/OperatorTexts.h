#pragma once

// Every text the operator sees, in one table. The words are the instrument
// programmer's own and must stay exactly as they are, spaces included.
// Stored as UTF-8; each front end converts them for its own display.

#include <array>
#include <string_view>

namespace texts {

enum class MessageIcon { None, Warning, Error };

// A modal message box: text, caption, icon, one OK button.
struct OperatorMessage {
    std::string_view text;
    std::string_view caption;
    MessageIcon icon;
};

inline constexpr std::string_view CaptionError = "Ошибка";
inline constexpr std::string_view CaptionProgrammer = "Программатор";

inline constexpr OperatorMessage FileTooLarge{"Размер файла превышает максимально допустимый",
                                              CaptionError, MessageIcon::Error};
inline constexpr OperatorMessage CannotReadFile{"Не могу считать файл", CaptionError,
                                                MessageIcon::Error};
inline constexpr OperatorMessage CannotOpenPort{"Не могу открыть порт", CaptionError,
                                                MessageIcon::Error};
inline constexpr OperatorMessage ProgramNotLoaded{"Программа не загружена", CaptionProgrammer,
                                                  MessageIcon::Warning};
inline constexpr OperatorMessage CannotSaveFile{"Не могу сохранить в файл.", CaptionError,
                                                MessageIcon::Error};
// Followed directly by the count in decimal.
inline constexpr OperatorMessage DifferencesFound{"Количество обнаруженных ошибок = ", CaptionError,
                                                  MessageIcon::Error};
inline constexpr OperatorMessage ImagesEqual{"OK", CaptionProgrammer, MessageIcon::None};
inline constexpr OperatorMessage ImageMissing{"Один из файлов не загружен", CaptionProgrammer,
                                              MessageIcon::Warning};

// Wait window: mode line.
inline constexpr std::string_view ModeRead = "Режим: Чтение данных";
inline constexpr std::string_view ModeWrite = "Режим: Запись данных";

// Wait window: state line.
inline constexpr std::string_view InfoSearching = "Поиск прибора...";
inline constexpr std::string_view InfoReading = "Идет считывание...";
inline constexpr std::string_view InfoWriting = "Идет запись...";
inline constexpr std::string_view InfoReadDone = "Данные считаны";
inline constexpr std::string_view InfoReadFailed = "Ошибка считывания";
inline constexpr std::string_view InfoWriteDone = "Данные записаны";
inline constexpr std::string_view InfoWriteFailed = "Ошибка записи";
inline constexpr std::string_view InfoCheckFailed = "Ошибка проверки";
inline constexpr std::string_view WaitClose = "Закрыть";

// Main window.
inline constexpr std::string_view MainCaption = "Программатор ВЕКТАЛ-7  v1.0";
inline constexpr std::string_view HintOpen = "Открыть файл с программой";
inline constexpr std::string_view HintSaveAs = "Сохранить программу как ...";
inline constexpr std::string_view HintRead = "Считать программу из прибора";
inline constexpr std::string_view HintVerify = "Сравнить программу с программой прибора";
inline constexpr std::string_view HintHelp = "Помощь";
inline constexpr std::string_view GroupProgramInfo = " Информация о программе ";
inline constexpr std::string_view LabelFileName = "Имя файла:";
inline constexpr std::string_view LabelFileSize = "Размер файла:";
inline constexpr std::string_view LabelSectors = "Секторов:";
inline constexpr std::string_view HintFileName = "Имя файла с программой";
inline constexpr std::string_view HintFileSize = "Размер файла программы";
inline constexpr std::string_view HintSectors = "Размер секторов в программе";
inline constexpr std::string_view GroupWrite = " Запись программы в прибор ";
inline constexpr std::string_view CheckWithVerify = "Записать с проверкой";
inline constexpr std::string_view HintCheckWithVerify =
    "Установите флаг для проверки правильности записи программы";
inline constexpr std::string_view ButtonWrite = "Записать программу";
inline constexpr std::string_view HintWrite = "Записать программу в прибор";
inline constexpr std::string_view FileFilter = "*.bin";

// The default error box when the instrument or its adapter vanishes mid-run,
// followed by the port and the system's detail.
inline constexpr std::string_view PortConnectionLost = "Потеряна связь с портом";

// Port list and command line.
inline constexpr std::string_view SimulatedInstrument = "Имитатор прибора ВЕКТАЛ-7";
inline constexpr std::string_view PortOpenHint =
    "Проверьте, что прибор подключен, порт не занят другой программой и у вас есть права на "
    "него (в Linux: группа dialout).";
inline constexpr std::string_view PortOpenHintWindows =
    "Проверьте, что прибор подключен, порт не занят другой программой и драйвер "
    "адаптера установлен (Диспетчер устройств, раздел \"Порты (COM и LPT)\").";
inline constexpr std::string_view NoInstrument = "Прибор не ответил";
inline constexpr std::string_view HelpPort = "порт: COM1..COM8 или путь к устройству";
inline constexpr std::string_view HelpVerify = "прочитать каждый записанный сектор и сверить";
inline constexpr std::string_view HelpTimeout = "ждать прибор не дольше стольких секунд";
inline constexpr std::string_view HelpPace = "темп: standard (как в приборе) или fast";
inline constexpr std::string_view HelpQuiet = "не показывать ход работы";
inline constexpr std::string_view HelpCommand = "ports, read, write или compare";
inline constexpr std::string_view HelpFile = "файл программы .bin";
inline constexpr std::string_view HelpLog =
    "дописывать запись о каждом приборе в файл (JSON Lines)";
inline constexpr std::string_view HelpCount = "станция: закончить после стольких приборов";
inline constexpr std::string_view Interrupted = "Прервано";
inline constexpr std::string_view StationLineLost = "Нет связи с портом";
inline constexpr std::string_view StationStopped = "Остановлен";
inline constexpr std::string_view StationDoneCount = "записано";
inline constexpr std::string_view StationFailedCount = "ошибок";
inline constexpr std::string_view StationTotal = "Итого";
inline constexpr std::string_view CompareFileByte = "файл";
inline constexpr std::string_view CompareDeviceByte = "прибор";
inline constexpr std::string_view ProgressSector = "сектор";
inline constexpr std::string_view ProgressLeft = "осталось";

// Help window.
inline constexpr std::string_view HelpCaption = "Файл справки";
inline constexpr std::array<std::string_view, 27> HelpLines{
    "Программирование прибора ВЕКТАЛ-7",
    "",
    "1. Выключите прибор ВЕКТАЛ-7",
    "2. Подключите прибор ВЕКТАЛ-7 к ПК по интерфейсу RS232(см. руководство пользователя)",
    "3. Запустите программу ProgVektal.exe",
    "4. Загрузите файл с программой (Кнопка 'Загрузить файл с программой')",
    "5. Установите галочку 'Записать с проверкой'",
    "6. Нажмите кнопку записать программу. (При этом откроется окно ожидания связи с ",
    "прибором)",
    "7. Включите прибор. (После включения прибора начнется запись программы в прибор)",
    "По окончании записи программы прибор перейдет в рабочий режим.",
    "",
    "Чтение программы из прибора ВЕКТАЛ-7",
    "1. Выключите прибор ВЕКТАЛ-7",
    "2. Подключите прибор ВЕКТАЛ-7 к ПК по интерфейсу RS232(см. руководство пользователя)",
    "3. Запустите программу ProgVektal.exe",
    "4. Загрузите файл с программой (Кнопка 'Загрузить файл с программой')",
    "6. Нажмите кнопку записать программу. (При этом откроется окно ожидания связи с ",
    "прибором)",
    "7. Включите прибор. (После включения прибора начнется запись программы в прибор)",
    "По окончании записи программы прибор перейдет в рабочий режим.",
    "8. Для сохранения программы нажмите кнопку 'Сохранить программу как...'",
    "",
    "Сравнение программы из файла с программой прибора ВЕКТАЛ-7",
    "1. Считайте программу из прибора",
    "2. Загрузите файл с программой (Кнопка 'Загрузить файл с программой')",
    "3. Сравните файлы (Кнопка 'Сравните программу с программой прибора')",
};

} // namespace texts
