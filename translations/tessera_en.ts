<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ru">
<context>
    <name>Channels</name>
    <message>
        <source>Не выбран ни один параметр для чтения</source>
        <translation>No parameter is selected for reading</translation>
    </message>
</context>
<context>
    <name>Convert</name>
    <message>
        <source>«%1» не является целым числом</source>
        <translation>“%1” is not an integer</translation>
    </message>
    <message>
        <source>«%1» не является числом</source>
        <translation>“%1” is not a number</translation>
    </message>
</context>
<context>
    <name>ESerialPort</name>
    <message>
        <source>Попытка открыть несуществующий COM-порт</source>
        <translation>Attempt to open a COM port that does not exist</translation>
    </message>
    <message>
        <source>Порт занят другой программой</source>
        <translation>The port is in use by another program</translation>
    </message>
    <message>
        <source>Порт не открыт</source>
        <translation>The port is not open</translation>
    </message>
    <message>
        <source>Ошибка записи в порт</source>
        <translation>Error writing to the port</translation>
    </message>
    <message>
        <source>Ошибка чтения из порта</source>
        <translation>Error reading from the port</translation>
    </message>
    <message>
        <source>Ошибка функции PurgeComm</source>
        <translation>Error in function PurgeComm</translation>
    </message>
    <message>
        <source>Ошибка функции SetCommState</source>
        <translation>Error in function SetCommState</translation>
    </message>
    <message>
        <source>Ошибка функции SetCommTimeouts</source>
        <translation>Error in function SetCommTimeouts</translation>
    </message>
    <message>
        <source>Ошибка функции SetupComm</source>
        <translation>Error in function SetupComm</translation>
    </message>
    <message>
        <source>Ошибка функции ClearCommError</source>
        <translation>Error in function ClearCommError</translation>
    </message>
    <message>
        <source>Ошибка функции GetCommModemStatus</source>
        <translation>Error in function GetCommModemStatus</translation>
    </message>
    <message>
        <source>Ошибка функции EscapeCommFunction</source>
        <translation>Error in function EscapeCommFunction</translation>
    </message>
    <message>
        <source>Нельзя менять свойство, пока порт открыт</source>
        <translation>The property cannot be changed while the port is open</translation>
    </message>
    <message>
        <source>Ошибка обращения к системному реестру</source>
        <translation>Error reading the list of ports from the system</translation>
    </message>
    <message>
        <source>Нет прав доступа к COM-порту (пользователь должен входить в группу dialout)</source>
        <translation>No permission to open the COM port (the user must be a member of the dialout group)</translation>
    </message>
    <message>
        <source>Указанное устройство не является последовательным портом</source>
        <translation>The device given is not a serial port</translation>
    </message>
    <message>
        <source>Неверное имя сетевого порта (нужно tcp://УЗЕЛ:ПОРТ или modbus-tcp://УЗЕЛ:ПОРТ)</source>
        <translation>Wrong network port name (tcp://HOST:PORT or modbus-tcp://HOST:PORT expected)</translation>
    </message>
    <message>
        <source>Сетевой узел не найден</source>
        <translation>Network host not found</translation>
    </message>
    <message>
        <source>Сетевой узел отверг подключение</source>
        <translation>The network host refused the connection</translation>
    </message>
    <message>
        <source>Сетевой узел недоступен</source>
        <translation>The network host is unreachable</translation>
    </message>
    <message>
        <source>Сетевой узел не ответил на подключение вовремя</source>
        <translation>The network host did not answer the connection in time</translation>
    </message>
</context>
<context>
    <name>TAddressProbe</name>
    <message>
        <source>По адресу %1 уже отвечает прибор: адрес не изменён. Выберите свободный адрес (окно «Линия» покажет занятые).</source>
        <translation>An instrument already answers at address %1: the address was not changed. Choose a free address (the “Line” window shows those taken).</translation>
    </message>
    <message>
        <source>Проверка адреса %1</source>
        <translation>Checking address %1</translation>
    </message>
    <message>
        <source>Адрес %1 не удалось проверить: адрес не изменён.</source>
        <translation>Address %1 could not be checked: the address was not changed.</translation>
    </message>
</context>
<context>
    <name>TBatchReportModel</name>
    <message>
        <source>Адрес</source>
        <translation>Address</translation>
    </message>
    <message>
        <source>Протокол</source>
        <translation>Protocol</translation>
    </message>
    <message>
        <source>Скорость</source>
        <translation>Speed</translation>
    </message>
    <message>
        <source>Отличается от файла</source>
        <translation>Differs from the file</translation>
    </message>
    <message>
        <source>Итог</source>
        <translation>Result</translation>
    </message>
    <message>
        <source>Подробности</source>
        <translation>Details</translation>
    </message>
    <message>
        <source>ничего</source>
        <translation>nothing</translation>
    </message>
    <message>
        <source>записано, проверено</source>
        <translation>written, verified</translation>
    </message>
    <message>
        <source>записано, при проверке отличается</source>
        <translation>written, reads back otherwise</translation>
    </message>
    <message>
        <source>отказ</source>
        <translation>refused</translation>
    </message>
    <message>
        <source>не отвечает</source>
        <translation>silent</translation>
    </message>
</context>
<context>
    <name>TCommissioning</name>
    <message>
        <source>Сервис</source>
        <translation>Service</translation>
    </message>
    <message>
        <source>Прочитать всё, файлы конфигурации, график и запись показаний</source>
        <translation>Read all, configuration files, plot and readings log</translation>
    </message>
    <message>
        <source>Прочитать всё</source>
        <translation>Read all</translation>
    </message>
    <message>
        <source>Остановить чтение или запись</source>
        <translation>Stop reading or writing</translation>
    </message>
    <message>
        <source>Сохранить конфигурацию…</source>
        <translation>Save configuration…</translation>
    </message>
    <message>
        <source>Загрузить конфигурацию…</source>
        <translation>Load configuration…</translation>
    </message>
    <message>
        <source>График</source>
        <translation>Plot</translation>
    </message>
    <message>
        <source>Запись показаний в CSV…</source>
        <translation>Log readings to CSV…</translation>
    </message>
    <message>
        <source>Стоп</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>Порт %1 не открыт</source>
        <translation>Port %1 is not open</translation>
    </message>
    <message>
        <source>Чтение</source>
        <translation>Reading</translation>
    </message>
    <message>
        <source>Чтение остановлено: прочитано %1 из %2</source>
        <translation>Reading stopped: %1 of %2 read</translation>
    </message>
    <message>
        <source>Прочитано всё: %1 из %2</source>
        <translation>All read: %1 of %2</translation>
    </message>
    <message>
        <source>Прочитано %1 из %2. Не прочитано: %3</source>
        <translation>Read %1 of %2. Not read: %3</translation>
    </message>
    <message>
        <source>Загрузка конфигурации</source>
        <translation>Load configuration</translation>
    </message>
    <message>
        <source>Нечего сохранять: сначала прочитайте прибор («Прочитать всё»).</source>
        <translation>Nothing to save: read the device first (“Read all”).</translation>
    </message>
    <message>
        <source>прибор-%1.cfg</source>
        <translation>device-%1.cfg</translation>
    </message>
    <message>
        <source>Сохранить конфигурацию</source>
        <translation>Save configuration</translation>
    </message>
    <message>
        <source>Конфигурация (*.cfg);;Все файлы (*)</source>
        <translation>Configuration (*.cfg);;All files (*)</translation>
    </message>
    <message>
        <source>Конфигурация сохранена: %1</source>
        <translation>Configuration saved: %1</translation>
    </message>
    <message>
        <source>Загрузить конфигурацию</source>
        <translation>Load configuration</translation>
    </message>
    <message>
        <source>Запись показаний остановлена: %1</source>
        <translation>Readings log stopped: %1</translation>
    </message>
    <message>
        <source>Запись показаний</source>
        <translation>Log readings</translation>
    </message>
    <message>
        <source>показания.csv</source>
        <translation>readings.csv</translation>
    </message>
    <message>
        <source>CSV (*.csv);;Все файлы (*)</source>
        <translation>CSV (*.csv);;All files (*)</translation>
    </message>
    <message>
        <source>Показания записываются в %1</source>
        <translation>Readings are being logged to %1</translation>
    </message>
    <message>
        <source>Запись конфигурации</source>
        <translation>Configuration write</translation>
    </message>
</context>
<context>
    <name>TConfigPreview</name>
    <message>
        <source>«%1»</source>
        <translation>“%1”</translation>
    </message>
    <message>
        <source>Сетевой адрес</source>
        <translation>Network address</translation>
    </message>
    <message>
        <source>Протокол</source>
        <translation>Protocol</translation>
    </message>
    <message>
        <source>Количество параметров</source>
        <translation>Number of parameters</translation>
    </message>
    <message>
        <source>Заводской номер</source>
        <translation>Serial number</translation>
    </message>
    <message>
        <source>Год выпуска</source>
        <translation>Year of manufacture</translation>
    </message>
    <message>
        <source>Яркость</source>
        <translation>Brightness</translation>
    </message>
    <message>
        <source>Доп. информация</source>
        <translation>Additional info</translation>
    </message>
    <message>
        <source>Формат уставок</source>
        <translation>Setpoint format</translation>
    </message>
    <message>
        <source>Уставка max, %</source>
        <translation>Setpoint max, %</translation>
    </message>
    <message>
        <source>Уставка min, %</source>
        <translation>Setpoint min, %</translation>
    </message>
    <message>
        <source>Скорость RS1</source>
        <translation>Speed RS1</translation>
    </message>
    <message>
        <source>Скорость RS2</source>
        <translation>Speed RS2</translation>
    </message>
    <message>
        <source>МЭК-101: размер общего адреса</source>
        <translation>IEC-101: common address size</translation>
    </message>
    <message>
        <source>МЭК-101: размер адреса объекта</source>
        <translation>IEC-101: object address size</translation>
    </message>
    <message>
        <source>МЭК-101: размер причины передачи</source>
        <translation>IEC-101: cause of transmission size</translation>
    </message>
    <message>
        <source>МЭК-101: тип ASDU</source>
        <translation>IEC-101: ASDU type</translation>
    </message>
    <message>
        <source>Сигнализация</source>
        <translation>Alarm</translation>
    </message>
    <message>
        <source>шкала</source>
        <translation>scale</translation>
    </message>
    <message>
        <source>ед. изм.</source>
        <translation>unit</translation>
    </message>
    <message>
        <source>точка</source>
        <translation>decimal point</translation>
    </message>
    <message>
        <source>режим</source>
        <translation>mode</translation>
    </message>
    <message>
        <source>задержка, с</source>
        <translation>delay, s</translation>
    </message>
    <message>
        <source>гистерезис, %</source>
        <translation>hysteresis, %</translation>
    </message>
    <message>
        <source>Пар. %1: %2</source>
        <translation>Par. %1: %2</translation>
    </message>
    <message>
        <source>Реле %1: %2</source>
        <translation>Relay %1: %2</translation>
    </message>
    <message>
        <source>не читается</source>
        <translation>not readable</translation>
    </message>
    <message>
        <source>не прочитано</source>
        <translation>not read</translation>
    </message>
    <message>
        <source>Загрузка конфигурации</source>
        <translation>Load configuration</translation>
    </message>
    <message>
        <source>Файл: %1
Прибор: %2</source>
        <translation>File: %1
Device: %2</translation>
    </message>
    <message>
        <source>Ключ</source>
        <translation>Key</translation>
    </message>
    <message>
        <source>Параметр</source>
        <translation>Parameter</translation>
    </message>
    <message>
        <source>В файле</source>
        <translation>In the file</translation>
    </message>
    <message>
        <source>В приборе</source>
        <translation>In the device</translation>
    </message>
    <message>
        <source>≠ записать</source>
        <translation>≠ write</translation>
    </message>
    <message>
        <source>≠ не записывается</source>
        <translation>≠ not writable</translation>
    </message>
    <message>
        <source>Записать</source>
        <translation>Write</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Записать отмеченные (%1)</source>
        <translation>Write checked (%1)</translation>
    </message>
    <message>
        <source>Прибор уже настроен как в файле: записывать нечего.</source>
        <translation>The device is already set up as in the file: nothing to write.</translation>
    </message>
    <message>
        <source>Будут записаны отмеченные значения (%1), адрес и протокол последними; затем всё будет прочитано снова и сверено с файлом.</source>
        <translation>The checked values (%1) will be written, the address and the protocol last; then everything is read again and compared with the file.</translation>
    </message>
    <message>
        <source>Записывать нечего.</source>
        <translation>Nothing to write.</translation>
    </message>
    <message>
        <source>Прибор отличается от файла в том, что не записывается: %1 (файл, видимо, от другого прибора).</source>
        <translation>The instrument differs from the file in what cannot be written: %1 (the file seems to be from another instrument).</translation>
    </message>
    <message>
        <source>≠ не записывается, пока не отмечено: другой прибор на линии может уже иметь этот адрес</source>
        <translation>≠ not written unless ticked: another instrument on the line may already have this address</translation>
    </message>
</context>
<context>
    <name>TConfigTransfer</name>
    <message>
        <source>Пар. %1</source>
        <translation>Par. %1</translation>
    </message>
    <message>
        <source>Доп. информация</source>
        <translation>Additional info</translation>
    </message>
    <message>
        <source>Яркость</source>
        <translation>Brightness</translation>
    </message>
    <message>
        <source>Уставка max</source>
        <translation>Setpoint max</translation>
    </message>
    <message>
        <source>Уставка min</source>
        <translation>Setpoint min</translation>
    </message>
    <message>
        <source>МЭК-101</source>
        <translation>IEC-101</translation>
    </message>
    <message>
        <source>Сигнализация</source>
        <translation>Alarm</translation>
    </message>
    <message>
        <source>Реле %1</source>
        <translation>Relay %1</translation>
    </message>
    <message>
        <source>Реле %1: гистерезис</source>
        <translation>Relay %1: hysteresis</translation>
    </message>
    <message>
        <source>Заводской номер</source>
        <translation>Serial number</translation>
    </message>
    <message>
        <source>Скорость RS%1</source>
        <translation>Speed RS%1</translation>
    </message>
    <message>
        <source>Сетевой адрес</source>
        <translation>Network address</translation>
    </message>
    <message>
        <source>Протокол</source>
        <translation>Protocol</translation>
    </message>
    <message>
        <source>нет значения</source>
        <translation>no value</translation>
    </message>
    <message>
        <source>Нечего сохранять: из прибора ещё ничего не прочитано.</source>
        <translation>Nothing to save: nothing has been read from the device yet.</translation>
    </message>
    <message>
        <source>Не удалось записать файл %1: %2</source>
        <translation>The file %1 could not be written: %2</translation>
    </message>
    <message>
        <source>Файл %1 не прочитан: %2</source>
        <translation>The file %1 was not read: %2</translation>
    </message>
    <message>
        <source>Загрузка не начата: порт не открыт или идёт обмен с прибором.</source>
        <translation>Loading not started: the port is not open or an exchange with the device is under way.</translation>
    </message>
    <message>
        <source>Загрузка остановлена: ничего не записано.</source>
        <translation>Loading stopped: nothing was written.</translation>
    </message>
    <message>
        <source>Прибор не отвечает: без его значений записывать нельзя, ничего не записано.</source>
        <translation>No answer from the device: nothing may be written without its values, nothing was written.</translation>
    </message>
    <message>
        <source>адрес %1, %2, %3, %4 бит/с</source>
        <translation>address %1, %2, %3, %4 baud</translation>
    </message>
    <message>
        <source>Загрузка отменена: ничего не записано.</source>
        <translation>Loading cancelled: nothing was written.</translation>
    </message>
    <message>
        <source>Записывать нечего: прибор уже настроен как в файле.</source>
        <translation>Nothing to write: the device is already set up as in the file.</translation>
    </message>
    <message>
        <source>Ничего не отмечено: ничего не записано.</source>
        <translation>Nothing checked: nothing was written.</translation>
    </message>
    <message>
        <source>Запись невозможна: %1. Ничего не записано.</source>
        <translation>Cannot write: %1. Nothing was written.</translation>
    </message>
    <message>
        <source>Запись</source>
        <translation>Writing</translation>
    </message>
    <message>
        <source>Запись остановлена после %1 из %2 шагов; прибор не сверен с файлом.</source>
        <translation>Writing stopped after %1 of %2 steps; the device was not compared with the file.</translation>
    </message>
    <message>
        <source>Записанное не прочитано обратно.</source>
        <translation>What was written was not read back.</translation>
    </message>
    <message>
        <source>Записано %1 из %2: %3.</source>
        <translation>Written %1 of %2: %3.</translation>
    </message>
    <message>
        <source>ничего</source>
        <translation>nothing</translation>
    </message>
    <message>
        <source>Запись прервана на шаге «%1»: %2%3.</source>
        <translation>Writing stopped at step “%1”: %2%3.</translation>
    </message>
    <message>
        <source>Прочитано обратно: прибор совпадает с файлом.</source>
        <translation>Read back: the device matches the file.</translation>
    </message>
    <message>
        <source>Прочитано обратно, отличается от файла:</source>
        <translation>Read back, differs from the file:</translation>
    </message>
    <message>
        <source>  %1 (%2): в файле %3, в приборе %4</source>
        <translation>  %1 (%2): file %3, device %4</translation>
    </message>
    <message>
        <source>Не проверить чтением: %1.</source>
        <translation>Cannot be checked by reading: %1.</translation>
    </message>
    <message>
        <source>Записывать нечего.</source>
        <translation>Nothing to write.</translation>
    </message>
    <message>
        <source>Прочитано обратно: записанное совпадает с файлом.</source>
        <translation>Read back: what was written matches the file.</translation>
    </message>
    <message>
        <source>  %1 (%2) не записывается: в файле %3, в приборе %4</source>
        <translation>  %1 (%2) cannot be written: %3 in the file, %4 in the instrument</translation>
    </message>
</context>
<context>
    <name>TForm1</name>
    <message>
        <source>Оповещение</source>
        <translation>Notification</translation>
    </message>
    <message>
        <source>Доступно обновление!</source>
        <translation>An update is available!</translation>
    </message>
    <message>
        <source>Скачать</source>
        <translation>Download</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Больше не показывать</source>
        <translation>Do not show again</translation>
    </message>
    <message>
        <source>Скачивание </source>
        <translation>Downloading </translation>
    </message>
    <message>
        <source>На сайт</source>
        <translation>Website</translation>
    </message>
    <message>
        <source>Открыть страницу программы в браузере</source>
        <translation>Open the program&apos;s page in the browser</translation>
    </message>
</context>
<context>
    <name>TFrameMonitor</name>
    <message>
        <source>Монитор обмена</source>
        <translation>Frame monitor</translation>
    </message>
    <message>
        <source>Пауза</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>Остановить запись: новые строки не добавляются</source>
        <translation>Stop recording: no new rows are added</translation>
    </message>
    <message>
        <source>Продолжить</source>
        <translation>Resume</translation>
    </message>
    <message>
        <source>Очистить</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>Удалить все строки</source>
        <translation>Delete all rows</translation>
    </message>
    <message>
        <source>Показывать только строки этой команды</source>
        <translation>Show only the rows of this command</translation>
    </message>
    <message>
        <source>Все команды</source>
        <translation>All commands</translation>
    </message>
    <message>
        <source>Только ошибки</source>
        <translation>Errors only</translation>
    </message>
    <message>
        <source>Копировать</source>
        <translation>Copy</translation>
    </message>
    <message>
        <source>Скопировать выделенные строки как текст (Ctrl+C)</source>
        <translation>Copy the selected rows as text (Ctrl+C)</translation>
    </message>
    <message>
        <source>Сохранить…</source>
        <translation>Save…</translation>
    </message>
    <message>
        <source>Сохранить показанные строки в текстовый файл или CSV</source>
        <translation>Save the rows shown to a text or CSV file</translation>
    </message>
    <message>
        <source>Команда:</source>
        <translation>Command:</translation>
    </message>
    <message>
        <source>Строк: %1 (хранится не более %2)</source>
        <translation>Rows: %1 (at most %2 kept)</translation>
    </message>
    <message>
        <source>, показано: %1</source>
        <translation>, shown: %1</translation>
    </message>
    <message>
        <source>Ошибка</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Не удалось записать файл %1: %2</source>
        <translation>The file %1 could not be written: %2</translation>
    </message>
    <message>
        <source>Текст (*.txt)</source>
        <translation>Text (*.txt)</translation>
    </message>
    <message>
        <source>обмен-%1.txt</source>
        <translation>frames-%1.txt</translation>
    </message>
    <message>
        <source>Сохранить обмен</source>
        <translation>Save frames</translation>
    </message>
</context>
<context>
    <name>TFrameMonitorModel</name>
    <message>
        <source>верна</source>
        <translation>good</translation>
    </message>
    <message>
        <source>ошибка</source>
        <translation>error</translation>
    </message>
    <message>
        <source>Время</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>Направление</source>
        <translation>Direction</translation>
    </message>
    <message>
        <source>Адрес</source>
        <translation>Address</translation>
    </message>
    <message>
        <source>Протокол</source>
        <translation>Protocol</translation>
    </message>
    <message>
        <source>Команда</source>
        <translation>Command</translation>
    </message>
    <message>
        <source>Длина</source>
        <translation>Length</translation>
    </message>
    <message>
        <source>Байты</source>
        <translation>Bytes</translation>
    </message>
    <message>
        <source>Задержка, мс</source>
        <translation>Latency, ms</translation>
    </message>
    <message>
        <source>Части</source>
        <translation>Pieces</translation>
    </message>
    <message>
        <source>Значение</source>
        <translation>Meaning</translation>
    </message>
    <message>
        <source>Окно</source>
        <translation>Window</translation>
    </message>
</context>
<context>
    <name>TFrameRowBuilder</name>
    <message>
        <source>параметр %1</source>
        <translation>parameter %1</translation>
    </message>
    <message>
        <source>параметр %1: шкала %2</source>
        <translation>parameter %1: scale %2</translation>
    </message>
    <message>
        <source>адрес %1</source>
        <translation>address %1</translation>
    </message>
    <message>
        <source>яркость %1</source>
        <translation>brightness %1</translation>
    </message>
    <message>
        <source>«%1»</source>
        <translation>“%1”</translation>
    </message>
    <message>
        <source>уставка %1</source>
        <translation>setpoint %1</translation>
    </message>
    <message>
        <source>скорость %1 бит/с</source>
        <translation>speed %1 baud</translation>
    </message>
    <message>
        <source>год %1, номер %2</source>
        <translation>year %1, number %2</translation>
    </message>
    <message>
        <source>номер %1</source>
        <translation>number %1</translation>
    </message>
    <message>
        <source>год %1</source>
        <translation>year %1</translation>
    </message>
    <message>
        <source>режим сигнализации %1</source>
        <translation>alarm mode %1</translation>
    </message>
    <message>
        <source>режим аналогового выхода %1</source>
        <translation>analog output mode %1</translation>
    </message>
    <message>
        <source>поиск прибора</source>
        <translation>device search</translation>
    </message>
    <message>
        <source>смена протокола прибора %1</source>
        <translation>protocol switch of device %1</translation>
    </message>
    <message>
        <source>формат уставок %1 (%2 бит)</source>
        <translation>setpoint format %1 (%2-bit)</translation>
    </message>
    <message>
        <source>реле %1: режим %2, задержка %3</source>
        <translation>relay %1: mode %2, delay %3</translation>
    </message>
    <message>
        <source>Несуществующий параметр</source>
        <translation>No such parameter</translation>
    </message>
    <message>
        <source>Неверное значение параметра</source>
        <translation>Invalid parameter value</translation>
    </message>
    <message>
        <source>Аппаратная защита</source>
        <translation>Hardware protection</translation>
    </message>
    <message>
        <source>исключение %1</source>
        <translation>exception %1</translation>
    </message>
    <message>
        <source>ошибка контрольной суммы</source>
        <translation>checksum error</translation>
    </message>
    <message>
        <source>ответ с другого адреса</source>
        <translation>answer from another address</translation>
    </message>
    <message>
        <source>неполный ответ: %1 из %2 байт</source>
        <translation>incomplete answer: %1 of %2 bytes</translation>
    </message>
    <message>
        <source> (ещё %1 байт в порту)</source>
        <translation> (%1 more bytes in the port)</translation>
    </message>
    <message>
        <source>нет ответа</source>
        <translation>no answer</translation>
    </message>
    <message>
        <source>параметр отсутствует</source>
        <translation>no such parameter</translation>
    </message>
    <message>
        <source>шкала %1</source>
        <translation>scale %1</translation>
    </message>
    <message>
        <source>номер %1, год %2, параметров %3</source>
        <translation>number %1, year %2, %3 parameters</translation>
    </message>
    <message>
        <source>общий адрес %1, адрес объекта %2, причина %3, тип %4</source>
        <translation>common address %1, object address %2, cause %3, type %4</translation>
    </message>
    <message>
        <source>гистерезис: реле 1 %1, реле 2 %2</source>
        <translation>hysteresis: relay 1 %1, relay 2 %2</translation>
    </message>
    <message>
        <source>адрес %1, протокол %2</source>
        <translation>address %1, protocol %2</translation>
    </message>
    <message>
        <source>принято</source>
        <translation>accepted</translation>
    </message>
    <message>
        <source>номер изменить нельзя</source>
        <translation>the number cannot be changed</translation>
    </message>
    <message>
        <source>результат %1</source>
        <translation>result %1</translation>
    </message>
    <message>
        <source>запрос</source>
        <translation>request</translation>
    </message>
    <message>
        <source>ответ</source>
        <translation>answer</translation>
    </message>
    <message>
        <source>тайм-аут</source>
        <translation>timeout</translation>
    </message>
    <message>
        <source>ошибка порта</source>
        <translation>port error</translation>
    </message>
    <message>
        <source>%1 за %2 мс</source>
        <translation>%1 in %2 ms</translation>
    </message>
    <message>
        <source>Главное окно</source>
        <translation>Main window</translation>
    </message>
</context>
<context>
    <name>TLineOwner</name>
    <message>
        <source>Линию занимает окно «%1»: дождитесь окончания его работы или остановите её</source>
        <translation>The line is held by the “%1” window: wait until it is done or stop it</translation>
    </message>
    <message>
        <source>Дождитесь окончания обмена с прибором</source>
        <translation>Wait until the exchange with the device has ended</translation>
    </message>
    <message>
        <source>Линию занимает окно «%1»</source>
        <translation>The line is held by the “%1” window</translation>
    </message>
</context>
<context>
    <name>TLineTableModel</name>
    <message>
        <source>Адрес</source>
        <translation>Address</translation>
    </message>
    <message>
        <source>Протокол</source>
        <translation>Protocol</translation>
    </message>
    <message>
        <source>Скорость</source>
        <translation>Speed</translation>
    </message>
    <message>
        <source>Номер / год</source>
        <translation>Serial / year</translation>
    </message>
    <message>
        <source>Единицы 1–3</source>
        <translation>Units 1–3</translation>
    </message>
    <message>
        <source>Информация</source>
        <translation>Information</translation>
    </message>
    <message>
        <source>Состояние</source>
        <translation>State</translation>
    </message>
    <message>
        <source>Пар. 1</source>
        <translation>Par. 1</translation>
    </message>
    <message>
        <source>Пар. 2</source>
        <translation>Par. 2</translation>
    </message>
    <message>
        <source>Пар. 3</source>
        <translation>Par. 3</translation>
    </message>
    <message>
        <source>Ответов</source>
        <translation>Answers</translation>
    </message>
    <message>
        <source>Без ответа</source>
        <translation>Unanswered</translation>
    </message>
    <message>
        <source>Ошибок CRC</source>
        <translation>Bad CRC</translation>
    </message>
    <message>
        <source>Последний ответ в %1</source>
        <translation>Last answer at %1</translation>
    </message>
    <message>
        <source>Два прибора с одним адресом: отключите один из них и смените ему адрес</source>
        <translation>Two instruments share this address: disconnect one of them and change its address</translation>
    </message>
    <message>
        <source>столкновение ответов</source>
        <translation>answers collide</translation>
    </message>
    <message>
        <source>отвечает</source>
        <translation>answering</translation>
    </message>
    <message>
        <source>молчит с %1</source>
        <translation>silent since %1</translation>
    </message>
</context>
<context>
    <name>TLineWindow</name>
    <message>
        <source>Линия</source>
        <translation>Line</translation>
    </message>
    <message>
        <source>Линия…</source>
        <translation>Line…</translation>
    </message>
    <message>
        <source>Приборы на линии</source>
        <translation>Instruments on the line</translation>
    </message>
    <message>
        <source>Поиск приборов</source>
        <translation>Instrument search</translation>
    </message>
    <message>
        <source>текущая</source>
        <translation>current</translation>
    </message>
    <message>
        <source>из списка</source>
        <translation>from the list</translation>
    </message>
    <message>
        <source>все восемь</source>
        <translation>all eight</translation>
    </message>
    <message>
        <source>QV и Modbus RTU</source>
        <translation>QV and Modbus RTU</translation>
    </message>
    <message>
        <source>Искать</source>
        <translation>Search</translation>
    </message>
    <message>
        <source>Стоп</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>Адреса с</source>
        <translation>Addresses from</translation>
    </message>
    <message>
        <source>по</source>
        <translation>to</translation>
    </message>
    <message>
        <source>Скорости</source>
        <translation>Speeds</translation>
    </message>
    <message>
        <source>Протоколы</source>
        <translation>Protocols</translation>
    </message>
    <message>
        <source>Опрос</source>
        <translation>Poll</translation>
    </message>
    <message>
        <source>Читать параметры 1–3 отмеченных приборов по очереди</source>
        <translation>Read parameters 1–3 of the ticked instruments in turn</translation>
    </message>
    <message>
        <source>Открыть</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>Работать с выбранным прибором в главном окне</source>
        <translation>Work with the selected instrument in the main window</translation>
    </message>
    <message>
        <source>Экспорт CSV…</source>
        <translation>Export CSV…</translation>
    </message>
    <message>
        <source>Записать конфигурацию…</source>
        <translation>Write configuration…</translation>
    </message>
    <message>
        <source>Записать файл конфигурации в отмеченные приборы (адрес и протокол не меняются)</source>
        <translation>Write a configuration file to the ticked instruments (address and protocol stay as they are)</translation>
    </message>
    <message>
        <source>Выберите прибор в таблице</source>
        <translation>Select an instrument in the table</translation>
    </message>
    <message>
        <source>Сохранить таблицу</source>
        <translation>Save the table</translation>
    </message>
    <message>
        <source>CSV (*.csv)</source>
        <translation>CSV (*.csv)</translation>
    </message>
    <message>
        <source>Файл конфигурации</source>
        <translation>Configuration file</translation>
    </message>
    <message>
        <source>Конфигурация (*.cfg *.txt);;Все файлы (*)</source>
        <translation>Configuration (*.cfg *.txt);;All files (*)</translation>
    </message>
    <message>
        <source>Запись конфигурации</source>
        <translation>Configuration write</translation>
    </message>
    <message>
        <source>Записать</source>
        <translation>Write</translation>
    </message>
    <message>
        <source>Сохранить отчёт…</source>
        <translation>Save report…</translation>
    </message>
    <message>
        <source>Сохранить отчёт</source>
        <translation>Save report</translation>
    </message>
    <message>
        <source>Порт не открыт</source>
        <translation>The port is not open</translation>
    </message>
    <message>
        <source>Линия занята</source>
        <translation>The line is busy</translation>
    </message>
    <message>
        <source>Не выбрано ни одной скорости или ни одного адреса</source>
        <translation>No speed or no address chosen</translation>
    </message>
    <message>
        <source>Поиск…</source>
        <translation>Searching…</translation>
    </message>
    <message>
        <source>Нет отмеченных приборов: сначала найдите их</source>
        <translation>No instruments ticked: find them first</translation>
    </message>
    <message>
        <source>Линия занята поиском</source>
        <translation>The line is busy with the search</translation>
    </message>
    <message>
        <source>Опрос…</source>
        <translation>Polling…</translation>
    </message>
    <message>
        <source>Ошибка порта: %1</source>
        <translation>Port error: %1</translation>
    </message>
    <message>
        <source>Поиск закончен: найдено %1</source>
        <translation>Search finished: %1 found</translation>
    </message>
    <message>
        <source>Поиск остановлен: найдено %1</source>
        <translation>Search stopped: %1 found</translation>
    </message>
    <message>
        <source>Опрос остановлен</source>
        <translation>Polling stopped</translation>
    </message>
    <message>
        <source>Проверьте, что будет записано, и нажмите «Записать»</source>
        <translation>Check what will be written and press “Write”</translation>
    </message>
    <message>
        <source>Чтение приборов остановлено</source>
        <translation>Reading the instruments stopped</translation>
    </message>
    <message>
        <source>Запись конфигурации закончена</source>
        <translation>Configuration write finished</translation>
    </message>
    <message>
        <source>Запись конфигурации остановлена</source>
        <translation>Configuration write stopped</translation>
    </message>
    <message>
        <source>Адресов: %1 из %2, найдено: %3, осталось ≈ %4 с</source>
        <translation>Addresses: %1 of %2, found: %3, about %4 s left</translation>
    </message>
    <message>
        <source>По адресу %1 отвечают два прибора: откройте их по одному</source>
        <translation>Two instruments answer at address %1: open them one at a time</translation>
    </message>
    <message>
        <source>Главное окно работает с прибором: адрес %1, %2, %3 бит/с</source>
        <translation>The main window works with the instrument: address %1, %2, %3 bit/s</translation>
    </message>
    <message>
        <source>Не удалось записать %1: %2</source>
        <translation>Could not write %1: %2</translation>
    </message>
    <message>
        <source>Таблица записана в %1</source>
        <translation>Table written to %1</translation>
    </message>
    <message>
        <source>Линия занята: остановите поиск или опрос</source>
        <translation>The line is busy: stop the search or the polling</translation>
    </message>
    <message>
        <source>Файл конфигурации не прочитан: %1</source>
        <translation>Configuration file not read: %1</translation>
    </message>
    <message>
        <source>Чтение конфигурации приборов…</source>
        <translation>Reading the instruments&apos; configuration…</translation>
    </message>
    <message>
        <source>Сначала выберите файл: будет показано, что изменится</source>
        <translation>Choose a file first: what it changes will be shown</translation>
    </message>
    <message>
        <source>Запись конфигурации…</source>
        <translation>Writing the configuration…</translation>
    </message>
</context>
<context>
    <name>TLineWorker</name>
    <message>
        <source>не отвечает</source>
        <translation>silent</translation>
    </message>
    <message>
        <source>не ответил при проверке</source>
        <translation>silent when read back</translation>
    </message>
</context>
<context>
    <name>TPlotView</name>
    <message>
        <source>Нет показаний за это время.
Отметьте параметры и нажмите «Чтение показаний».</source>
        <translation>No readings in this time span.
Check the parameters and press “Read values”.</translation>
    </message>
    <message>
        <source>Пар.%1</source>
        <translation>Par.%1</translation>
    </message>
</context>
<context>
    <name>TPlotWindow</name>
    <message>
        <source>Автомасштаб</source>
        <translation>Autoscale</translation>
    </message>
    <message>
        <source>Пауза</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>График</source>
        <translation>Plot</translation>
    </message>
    <message>
        <source>1 мин</source>
        <translation>1 min</translation>
    </message>
    <message>
        <source>5 мин</source>
        <translation>5 min</translation>
    </message>
    <message>
        <source>15 мин</source>
        <translation>15 min</translation>
    </message>
    <message>
        <source>1 ч</source>
        <translation>1 h</translation>
    </message>
    <message>
        <source>6 ч</source>
        <translation>6 h</translation>
    </message>
    <message>
        <source>24 ч</source>
        <translation>24 h</translation>
    </message>
    <message>
        <source>Сохранить PNG…</source>
        <translation>Save PNG…</translation>
    </message>
    <message>
        <source>Очистить</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>Окно:</source>
        <translation>Span:</translation>
    </message>
    <message>
        <source>Сохранить график</source>
        <translation>Save plot</translation>
    </message>
    <message>
        <source>Ошибка</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Не удалось записать %1</source>
        <translation>%1 could not be written</translation>
    </message>
</context>
<context>
    <name>TPollingStatus</name>
    <message>
        <source>Опрос: идёт</source>
        <translation>Polling: running</translation>
    </message>
    <message>
        <source>Опрос остановлен в %1</source>
        <translation>Polling stopped at %1</translation>
    </message>
</context>
<context>
    <name>TPortWatch</name>
    <message>
        <source> Система сообщает: %1.</source>
        <translation> The system says: %1.</translation>
    </message>
    <message>
        <source> Обмен с прибором прерван: проверьте подключение к порту %1.</source>
        <translation> The exchange with the device has stopped: check the connection to port %1.</translation>
    </message>
    <message>
        <source> Связь с прибором через порт %1 прервана: проверьте подключение.</source>
        <translation> The link to the device through port %1 is broken: check the connection.</translation>
    </message>
    <message>
        <source> Устройство %1 отключено от компьютера: проверьте подключение.</source>
        <translation> Device %1 has been disconnected from the computer: check the connection.</translation>
    </message>
    <message>
        <source> Когда устройство появится снова, программа подключится к нему сама и продолжит опрос.</source>
        <translation> When the device is back, the program reconnects to it by itself and resumes polling.</translation>
    </message>
    <message>
        <source> Когда устройство появится снова, программа подключится к нему сама.</source>
        <translation> When the device is back, the program reconnects to it by itself.</translation>
    </message>
    <message>
        <source>Устройство %1 снова подключено, опрос продолжается.</source>
        <translation>Device %1 is connected again, polling resumes.</translation>
    </message>
    <message>
        <source>Устройство %1 снова подключено.</source>
        <translation>Device %1 is connected again.</translation>
    </message>
    <message>
        <source>Порт %1: ожидание устройства</source>
        <translation>Port %1: waiting for the device</translation>
    </message>
    <message>
        <source>Порт %1 не открыт</source>
        <translation>Port %1 is not open</translation>
    </message>
    <message>
        <source>Порт: %1 (подключён снова в %2)</source>
        <translation>Port: %1 (reconnected at %2)</translation>
    </message>
    <message>
        <source>Порт: %1</source>
        <translation>Port: %1</translation>
    </message>
    <message>
        <source> Соединение со шлюзом %1 разорвано: проверьте сеть и шлюз.</source>
        <translation> The connection to the gateway %1 was lost: check the network and the gateway.</translation>
    </message>
    <message>
        <source> Когда шлюз ответит снова, программа подключится к нему сама и продолжит опрос.</source>
        <translation> When the gateway answers again, the program reconnects by itself and resumes polling.</translation>
    </message>
    <message>
        <source> Когда шлюз ответит снова, программа подключится к нему сама.</source>
        <translation> When the gateway answers again, the program reconnects by itself.</translation>
    </message>
    <message>
        <source>Шлюз %1 снова на связи, опрос продолжается.</source>
        <translation>Gateway %1 is back, polling goes on.</translation>
    </message>
    <message>
        <source>Шлюз %1 снова на связи.</source>
        <translation>Gateway %1 is back.</translation>
    </message>
    <message>
        <source>Порт %1: подключение…</source>
        <translation>Port %1: connecting…</translation>
    </message>
</context>
<context>
    <name>TQuery</name>
    <message>
        <source>Адрес прибора %1 недопустим в протоколе %2 (допустимо 1..%3): введите адрес прибора в поле «Сетевой адрес» или найдите прибор поиском</source>
        <translation>Instrument address %1 is not valid in the %2 protocol (allowed 1..%3): type the instrument&apos;s address in the &quot;Network address&quot; field or find the instrument with the search</translation>
    </message>
</context>
<context>
    <name>TReadRecord</name>
    <message>
        <source>Не прочитано: %1</source>
        <translation>Not read: %1</translation>
    </message>
    <message>
        <source>Tessera_RS-485: конфигурация прибора</source>
        <translation>Tessera_RS-485: device configuration</translation>
    </message>
    <message>
        <source>&quot;absent&quot;: значение не прочитано из прибора</source>
        <translation>&quot;absent&quot;: the value was not read from the device</translation>
    </message>
</context>
<context>
    <name>TReadingLog</name>
    <message>
        <source>Не удалось записать файл %1: %2</source>
        <translation>The file %1 could not be written: %2</translation>
    </message>
    <message>
        <source>Запись показаний в %1 прервана: %2</source>
        <translation>Logging readings to %1 stopped: %2</translation>
    </message>
</context>
<context>
    <name>TRegisterTableModel</name>
    <message>
        <source>Бит</source>
        <translation>Bit</translation>
    </message>
    <message>
        <source>Регистр</source>
        <translation>Register</translation>
    </message>
    <message>
        <source>Имя</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Значение</source>
        <translation>Value</translation>
    </message>
    <message>
        <source>Как понимает прибор</source>
        <translation>As the instrument means it</translation>
    </message>
    <message>
        <source>Возраст, с</source>
        <translation>Age, s</translation>
    </message>
    <message>
        <source>Ошибка</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Значение пар. 1</source>
        <translation>Value of par. 1</translation>
    </message>
    <message>
        <source>Значение пар. 2</source>
        <translation>Value of par. 2</translation>
    </message>
    <message>
        <source>Значение пар. 3</source>
        <translation>Value of par. 3</translation>
    </message>
    <message>
        <source>Шкала пар. 1</source>
        <translation>Scale of par. 1</translation>
    </message>
    <message>
        <source>Ед. изм. пар. 1</source>
        <translation>Unit of par. 1</translation>
    </message>
    <message>
        <source>Точка пар. 1</source>
        <translation>Point of par. 1</translation>
    </message>
    <message>
        <source>Шкала пар. 2</source>
        <translation>Scale of par. 2</translation>
    </message>
    <message>
        <source>Ед. изм. пар. 2</source>
        <translation>Unit of par. 2</translation>
    </message>
    <message>
        <source>Точка пар. 2</source>
        <translation>Point of par. 2</translation>
    </message>
    <message>
        <source>Шкала пар. 3</source>
        <translation>Scale of par. 3</translation>
    </message>
    <message>
        <source>Ед. изм. пар. 3</source>
        <translation>Unit of par. 3</translation>
    </message>
    <message>
        <source>Точка пар. 3</source>
        <translation>Point of par. 3</translation>
    </message>
    <message>
        <source>Уставка max</source>
        <translation>Setpoint max</translation>
    </message>
    <message>
        <source>Уставка min</source>
        <translation>Setpoint min</translation>
    </message>
    <message>
        <source>Реле 1: режим</source>
        <translation>Relay 1: mode</translation>
    </message>
    <message>
        <source>Реле 1: задержка</source>
        <translation>Relay 1: delay</translation>
    </message>
    <message>
        <source>Реле 2: режим</source>
        <translation>Relay 2: mode</translation>
    </message>
    <message>
        <source>Реле 2: задержка</source>
        <translation>Relay 2: delay</translation>
    </message>
    <message>
        <source>Реле 2: режим (запись)</source>
        <translation>Relay 2: mode (write)</translation>
    </message>
    <message>
        <source>Реле 2: задержка (запись)</source>
        <translation>Relay 2: delay (write)</translation>
    </message>
    <message>
        <source>Гистерезис реле 1</source>
        <translation>Relay 1 hysteresis</translation>
    </message>
    <message>
        <source>Гистерезис реле 2</source>
        <translation>Relay 2 hysteresis</translation>
    </message>
    <message>
        <source>Гистерезис реле 2 (запись)</source>
        <translation>Relay 2 hysteresis (write)</translation>
    </message>
    <message>
        <source>Число параметров</source>
        <translation>Number of parameters</translation>
    </message>
    <message>
        <source>Сетевой адрес</source>
        <translation>Network address</translation>
    </message>
    <message>
        <source>Заводской номер</source>
        <translation>Serial number</translation>
    </message>
    <message>
        <source>Год выпуска</source>
        <translation>Year of manufacture</translation>
    </message>
    <message>
        <source>Яркость</source>
        <translation>Brightness</translation>
    </message>
    <message>
        <source>Заводской номер (запись)</source>
        <translation>Serial number (write)</translation>
    </message>
    <message>
        <source>Год выпуска (запись)</source>
        <translation>Year of manufacture (write)</translation>
    </message>
    <message>
        <source>Формат уставок</source>
        <translation>Setpoint format</translation>
    </message>
    <message>
        <source>Скорость RS-485 1</source>
        <translation>Speed RS-485 1</translation>
    </message>
    <message>
        <source>Скорость RS-485 2</source>
        <translation>Speed RS-485 2</translation>
    </message>
    <message>
        <source>Доп. информация</source>
        <translation>Additional info</translation>
    </message>
    <message>
        <source>МЭК-101: размер общего адреса</source>
        <translation>IEC-101: common address size</translation>
    </message>
    <message>
        <source>МЭК-101: размер адреса объекта</source>
        <translation>IEC-101: object address size</translation>
    </message>
    <message>
        <source>МЭК-101: размер причины</source>
        <translation>IEC-101: cause size</translation>
    </message>
    <message>
        <source>МЭК-101: тип</source>
        <translation>IEC-101: type</translation>
    </message>
    <message>
        <source>Режим сигнализации</source>
        <translation>Alarm mode</translation>
    </message>
    <message>
        <source>Уставка max (16 бит, запись)</source>
        <translation>Setpoint max (16-bit, write)</translation>
    </message>
    <message>
        <source>Уставка min (16 бит, запись)</source>
        <translation>Setpoint min (16-bit, write)</translation>
    </message>
</context>
<context>
    <name>TRegistersWindow</name>
    <message>
        <source>Недопустимая функция</source>
        <translation>Illegal function</translation>
    </message>
    <message>
        <source>Несуществующий параметр</source>
        <translation>No such parameter</translation>
    </message>
    <message>
        <source>Неверное значение параметра</source>
        <translation>Invalid parameter value</translation>
    </message>
    <message>
        <source>Отказ устройства</source>
        <translation>Device failure</translation>
    </message>
    <message>
        <source>Запрос принят, выполняется</source>
        <translation>Acknowledged, in progress</translation>
    </message>
    <message>
        <source>Устройство занято</source>
        <translation>Device busy</translation>
    </message>
    <message>
        <source>Ошибка чётности памяти</source>
        <translation>Memory parity error</translation>
    </message>
    <message>
        <source>Шлюз: нет пути к устройству</source>
        <translation>Gateway: no path to the device</translation>
    </message>
    <message>
        <source>Шлюз: устройство не отвечает</source>
        <translation>Gateway: the device does not respond</translation>
    </message>
    <message>
        <source>Аппаратная защита</source>
        <translation>Hardware protection</translation>
    </message>
    <message>
        <source>Регистры</source>
        <translation>Registers</translation>
    </message>
    <message>
        <source>Регистры…</source>
        <translation>Registers…</translation>
    </message>
    <message>
        <source>Чтение</source>
        <translation>Reading</translation>
    </message>
    <message>
        <source>1: биты (coils)</source>
        <translation>1: coils</translation>
    </message>
    <message>
        <source>2: дискретные входы</source>
        <translation>2: discrete inputs</translation>
    </message>
    <message>
        <source>3: регистры</source>
        <translation>3: holding registers</translation>
    </message>
    <message>
        <source>4: входные регистры</source>
        <translation>4: input registers</translation>
    </message>
    <message>
        <source>10</source>
        <translation>10</translation>
    </message>
    <message>
        <source>16</source>
        <translation>16</translation>
    </message>
    <message>
        <source>2</source>
        <translation>2</translation>
    </message>
    <message>
        <source>Прочитать</source>
        <translation>Read</translation>
    </message>
    <message>
        <source>Опрос</source>
        <translation>Poll</translation>
    </message>
    <message>
        <source> мс</source>
        <translation> ms</translation>
    </message>
    <message>
        <source>CSV…</source>
        <translation>CSV…</translation>
    </message>
    <message>
        <source>Адрес</source>
        <translation>Address</translation>
    </message>
    <message>
        <source>Функция</source>
        <translation>Function</translation>
    </message>
    <message>
        <source>С регистра</source>
        <translation>From register</translation>
    </message>
    <message>
        <source>Количество</source>
        <translation>Count</translation>
    </message>
    <message>
        <source>Тип</source>
        <translation>Type</translation>
    </message>
    <message>
        <source>Порядок</source>
        <translation>Order</translation>
    </message>
    <message>
        <source>Основание</source>
        <translation>Base</translation>
    </message>
    <message>
        <source>Сохранить таблицу</source>
        <translation>Save the table</translation>
    </message>
    <message>
        <source>CSV (*.csv)</source>
        <translation>CSV (*.csv)</translation>
    </message>
    <message>
        <source>Запись</source>
        <translation>Writing</translation>
    </message>
    <message>
        <source>6 или 16</source>
        <translation>6 or 16</translation>
    </message>
    <message>
        <source>5: бит</source>
        <translation>5: coil</translation>
    </message>
    <message>
        <source>6: регистр</source>
        <translation>6: register</translation>
    </message>
    <message>
        <source>15: биты</source>
        <translation>15: coils</translation>
    </message>
    <message>
        <source>16: регистры</source>
        <translation>16: registers</translation>
    </message>
    <message>
        <source>значение или блок через запятую: 1,2,3</source>
        <translation>a value, or a block separated by commas: 1,2,3</translation>
    </message>
    <message>
        <source>Записать</source>
        <translation>Write</translation>
    </message>
    <message>
        <source>Кадр вручную</source>
        <translation>Frame by hand</translation>
    </message>
    <message>
        <source>01 03 03 EB 00 01 (пробелы не обязательны)</source>
        <translation>01 03 03 EB 00 01 (blanks optional)</translation>
    </message>
    <message>
        <source>Добавить CRC</source>
        <translation>Append CRC</translation>
    </message>
    <message>
        <source>Отправить</source>
        <translation>Send</translation>
    </message>
    <message>
        <source>Повторять</source>
        <translation>Repeat</translation>
    </message>
    <message>
        <source>нет</source>
        <translation>none</translation>
    </message>
    <message>
        <source>чёт</source>
        <translation>even</translation>
    </message>
    <message>
        <source>нечёт</source>
        <translation>odd</translation>
    </message>
    <message>
        <source>Линия: чётность</source>
        <translation>Line: parity</translation>
    </message>
    <message>
        <source>стоп-биты</source>
        <translation>stop bits</translation>
    </message>
    <message>
        <source>Тип %1 занимает два регистра: количество должно быть чётным</source>
        <translation>Type %1 takes two registers: the count must be even</translation>
    </message>
    <message>
        <source>Последний регистр дальше 65535</source>
        <translation>The last register is beyond 65535</translation>
    </message>
    <message>
        <source>функция %1: %2 с %3</source>
        <translation>function %1: %2 from %3</translation>
    </message>
    <message>
        <source>Бит — 0 или 1, а не «%1»</source>
        <translation>A coil is 0 or 1, not “%1”</translation>
    </message>
    <message>
        <source>«%1» не записать как %2</source>
        <translation>“%1” cannot be written as %2</translation>
    </message>
    <message>
        <source>Функция %1 записывает одно значение; блок — функцией %2</source>
        <translation>Function %1 writes one value; a block takes function %2</translation>
    </message>
    <message>
        <source>Запись не отправлена: %1</source>
        <translation>Not sent: %1</translation>
    </message>
    <message>
        <source>Линия занята предыдущим запросом</source>
        <translation>The line is busy with the previous request</translation>
    </message>
    <message>
        <source>функция %1: запись %2 с %3</source>
        <translation>function %1: write %2 from %3</translation>
    </message>
    <message>
        <source>Кадр пуст</source>
        <translation>The frame is empty</translation>
    </message>
    <message>
        <source>Не шестнадцатеричная цифра в позиции %1</source>
        <translation>Not a hex digit at position %1</translation>
    </message>
    <message>
        <source>Нечётное число цифр (%1): байт — две цифры</source>
        <translation>An odd number of digits (%1): a byte takes two</translation>
    </message>
    <message>
        <source>%1 байт: кадр не длиннее %2</source>
        <translation>%1 bytes: a frame has at most %2</translation>
    </message>
    <message>
        <source>кадр вручную</source>
        <translation>frame by hand</translation>
    </message>
    <message>
        <source>исключение %1</source>
        <translation>exception %1</translation>
    </message>
    <message>
        <source>неполный ответ</source>
        <translation>incomplete answer</translation>
    </message>
    <message>
        <source>ошибка контрольной суммы</source>
        <translation>checksum error</translation>
    </message>
    <message>
        <source>ответ с другого адреса</source>
        <translation>answer from another address</translation>
    </message>
    <message>
        <source>ответ другой функции</source>
        <translation>answer of another function</translation>
    </message>
    <message>
        <source>ответ не соответствует запросу</source>
        <translation>the answer does not match the request</translation>
    </message>
    <message>
        <source>нет ответа</source>
        <translation>no answer</translation>
    </message>
    <message>
        <source>Прочитано: %1 за %2 мс</source>
        <translation>Read: %1 in %2 ms</translation>
    </message>
    <message>
        <source>Записано: %1 с %2</source>
        <translation>Written: %1 from %2</translation>
    </message>
    <message>
        <source>Запись не выполнена: %1</source>
        <translation>Not written: %1</translation>
    </message>
    <message>
        <source>&gt; %1
нет ответа</source>
        <translation>&gt; %1
no answer</translation>
    </message>
    <message>
        <source>Ответ за %1 мс</source>
        <translation>Answer in %1 ms</translation>
    </message>
    <message>
        <source>Линия: чётность %1, стоп-битов %2</source>
        <translation>Line: parity %1, stop bits %2</translation>
    </message>
    <message>
        <source>Не удалось записать %1: %2</source>
        <translation>%1 could not be written: %2</translation>
    </message>
    <message>
        <source>Таблица записана в %1</source>
        <translation>The table was written to %1</translation>
    </message>
    <message>
        <source>Значения</source>
        <translation>Values</translation>
    </message>
    <message>
        <source>Тип и порядок слов — как у чтения; несколько значений через запятую записываются одним запросом</source>
        <translation>Type and word order as for reading; several values separated by commas are written in one request</translation>
    </message>
</context>
<context>
    <name>TRequestSequence</name>
    <message>
        <source>выполнено</source>
        <translation>done</translation>
    </message>
    <message>
        <source>нет данных</source>
        <translation>no data</translation>
    </message>
    <message>
        <source>отказ прибора</source>
        <translation>refused by the device</translation>
    </message>
    <message>
        <source>нет ответа</source>
        <translation>no answer</translation>
    </message>
    <message>
        <source>не отправлено</source>
        <translation>not sent</translation>
    </message>
    <message>
        <source>%1 %2 из %3 … %4</source>
        <translation>%1 %2 of %3 … %4</translation>
    </message>
    <message>
        <source>Сетевой адрес</source>
        <translation>Network address</translation>
    </message>
    <message>
        <source>Заводской номер</source>
        <translation>Serial number</translation>
    </message>
    <message>
        <source>Яркость</source>
        <translation>Brightness</translation>
    </message>
    <message>
        <source>Доп. информация</source>
        <translation>Additional info</translation>
    </message>
    <message>
        <source>Пар. %1</source>
        <translation>Par. %1</translation>
    </message>
    <message>
        <source>Уставка max</source>
        <translation>Setpoint max</translation>
    </message>
    <message>
        <source>Уставка min</source>
        <translation>Setpoint min</translation>
    </message>
    <message>
        <source>МЭК-101</source>
        <translation>IEC-101</translation>
    </message>
    <message>
        <source>Реле</source>
        <translation>Relays</translation>
    </message>
    <message>
        <source>Сигнализация</source>
        <translation>Alarm</translation>
    </message>
</context>
<context>
    <name>TSerialLine</name>
    <message>
        <source>Порт не открыт</source>
        <translation>The port is not open</translation>
    </message>
    <message>
        <source>Кадр записан не полностью</source>
        <translation>The frame was not written whole</translation>
    </message>
</context>
<context>
    <name>TSettingForm</name>
    <message>
        <source>Настройка</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>Порт</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>Скорость</source>
        <translation>Speed</translation>
    </message>
    <message>
        <source>Протокол</source>
        <translation>Protocol</translation>
    </message>
    <message>
        <source>COM1</source>
        <translation>COM1</translation>
    </message>
    <message>
        <source>COM2</source>
        <translation>COM2</translation>
    </message>
    <message>
        <source>COM3</source>
        <translation>COM3</translation>
    </message>
    <message>
        <source>COM4</source>
        <translation>COM4</translation>
    </message>
    <message>
        <source>COM5</source>
        <translation>COM5</translation>
    </message>
    <message>
        <source>COM6</source>
        <translation>COM6</translation>
    </message>
    <message>
        <source>COM7</source>
        <translation>COM7</translation>
    </message>
    <message>
        <source>COM8</source>
        <translation>COM8</translation>
    </message>
    <message>
        <source>QV</source>
        <translation>QV</translation>
    </message>
    <message>
        <source>MB</source>
        <translation>MB</translation>
    </message>
    <message>
        <source>Изменять тип протокола в настройках программы при изменении в приборе</source>
        <translation>Change the protocol in the program&apos;s settings when it is changed in the device</translation>
    </message>
    <message>
        <source>Ок</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Ошибка</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Порт %1 не открыт. </source>
        <translation>Port %1 was not opened. </translation>
    </message>
    <message>
        <source>Порт %1 по-прежнему не открыт.</source>
        <translation>Port %1 is still not open.</translation>
    </message>
    <message>
        <source>В работе остаётся порт %1.</source>
        <translation>The program keeps working with port %1.</translation>
    </message>
    <message>
        <source>Порт %1, с которым шла работа, открыть снова не удалось: %2</source>
        <translation>Port %1, which was in use, could not be opened again: %2</translation>
    </message>
    <message>
        <source>%1 (шлюз)</source>
        <translation>%1 (gateway)</translation>
    </message>
    <message>
        <source>Подключение к %1…</source>
        <translation>Connecting to %1…</translation>
    </message>
    <message>
        <source>Подключено к %1</source>
        <translation>Connected to %1</translation>
    </message>
    <message>
        <source>Подключение отменено.</source>
        <translation>Connecting cancelled.</translation>
    </message>
    <message>
        <source>Подключение к %1, с которым шла работа, восстанавливается.</source>
        <translation>Reconnecting to %1, the port in use before.</translation>
    </message>
</context>
<context>
    <name>TThreadUpdate</name>
    <message>
        <source>Проверка обновлений...</source>
        <translation>Checking for updates...</translation>
    </message>
    <message>
        <source>Не удалось загрузить обновление.</source>
        <translation>The update could not be downloaded.</translation>
    </message>
    <message>
        <source>Загрузка завершена.</source>
        <translation>Download complete.</translation>
    </message>
    <message>
        <source>Не удалось открыть страницу обновления в браузере: %1</source>
        <translation>The update page could not be opened in the browser: %1</translation>
    </message>
</context>
<context>
    <name>Th1</name>
    <message>
        <source>Неверное значение уставки</source>
        <translation>Invalid setpoint value</translation>
    </message>
    <message>
        <source>Несуществующий параметр</source>
        <translation>No such parameter</translation>
    </message>
    <message>
        <source>Неверное значение параметра</source>
        <translation>Invalid parameter value</translation>
    </message>
    <message>
        <source>Аппаратная защита</source>
        <translation>Hardware protection</translation>
    </message>
    <message>
        <source>Прибор не отвечает (</source>
        <translation>No answer from the device (</translation>
    </message>
    <message>
        <source>Ошибка контрольной суммы (</source>
        <translation>Checksum error (</translation>
    </message>
    <message>
        <source>Прибор не отвечает</source>
        <translation>No answer from the device</translation>
    </message>
    <message>
        <source>Ошибка контрольной суммы</source>
        <translation>Checksum error</translation>
    </message>
    <message>
        <source>Ошибка контрольной суммы !</source>
        <translation>Checksum error!</translation>
    </message>
    <message>
        <source>Операция выполнена успешно</source>
        <translation>Operation completed successfully</translation>
    </message>
    <message>
        <source>Сетевой адрес найденого прибора: </source>
        <translation>Network address of the device found: </translation>
    </message>
    <message>
        <source>    Протокол: </source>
        <translation>    Protocol: </translation>
    </message>
    <message>
        <source>Невозможно изменить номер</source>
        <translation>The number cannot be changed</translation>
    </message>
    <message>
        <source>Ответ прибора не соответствует запросу (на линии лишние или запоздавшие ответы); повторите запрос</source>
        <translation>The instrument&apos;s answer does not match the request (extra or late answers on the line); repeat the request</translation>
    </message>
    <message>
        <source>Ошибка контрольной суммы: возможно, на поиск ответили несколько приборов; окно «Линия» опросит адреса по очереди</source>
        <translation>Checksum error: several instruments may have answered the search; the “Line” window asks the addresses one by one</translation>
    </message>
</context>
<context>
    <name>Tz</name>
    <message>
        <source>Tessera_RS-485</source>
        <translation>Tessera_RS-485</translation>
    </message>
    <message>
        <source>Сетевой адрес</source>
        <translation>Network address</translation>
    </message>
    <message>
        <source>0</source>
        <translation>0</translation>
    </message>
    <message>
        <source>Определение сетевого адреса и типа протокола подключенного прибора</source>
        <translation>Find the network address and the protocol of the connected device</translation>
    </message>
    <message>
        <source>Измененеие типа протокола в устройстве</source>
        <translation>Change the protocol in the device</translation>
    </message>
    <message>
        <source>Скрыть окно смены протокола</source>
        <translation>Hide the protocol switch</translation>
    </message>
    <message>
        <source>Показания</source>
        <translation>Readings</translation>
    </message>
    <message>
        <source>Параметры</source>
        <translation>Parameters</translation>
    </message>
    <message>
        <source>Настройка</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>Помощь</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>Чтение показаний</source>
        <translation>Read values</translation>
    </message>
    <message>
        <source>Стоп</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>Частота обновления</source>
        <translation>Update interval</translation>
    </message>
    <message>
        <source>100</source>
        <translation>100</translation>
    </message>
    <message>
        <source>Пар.1</source>
        <translation>Par.1</translation>
    </message>
    <message>
        <source>Пар.2</source>
        <translation>Par.2</translation>
    </message>
    <message>
        <source>Пар.3</source>
        <translation>Par.3</translation>
    </message>
    <message>
        <source>Изм. сетевого адреса</source>
        <translation>Change address</translation>
    </message>
    <message>
        <source>Характеристики параметра</source>
        <translation>Parameter settings</translation>
    </message>
    <message>
        <source>Пар. №</source>
        <translation>Par. No.</translation>
    </message>
    <message>
        <source>1</source>
        <translation>1</translation>
    </message>
    <message>
        <source>Номер параметра</source>
        <translation>Parameter number</translation>
    </message>
    <message>
        <source>Шкала</source>
        <translation>Scale</translation>
    </message>
    <message>
        <source>Шкала прибора (4 цифры с разделителем &quot;.&quot; например 173.2)</source>
        <translation>Scale of the instrument (4 digits with &quot;.&quot; as the separator, e.g. 173.2)</translation>
    </message>
    <message>
        <source>Ед. изм.</source>
        <translation>Unit</translation>
    </message>
    <message>
        <source>Единица измерения</source>
        <translation>Unit of measurement</translation>
    </message>
    <message>
        <source>V</source>
        <translation>V</translation>
    </message>
    <message>
        <source>A</source>
        <translation>A</translation>
    </message>
    <message>
        <source>W</source>
        <translation>W</translation>
    </message>
    <message>
        <source>var</source>
        <translation>var</translation>
    </message>
    <message>
        <source>kV</source>
        <translation>kV</translation>
    </message>
    <message>
        <source>kA</source>
        <translation>kA</translation>
    </message>
    <message>
        <source>kW</source>
        <translation>kW</translation>
    </message>
    <message>
        <source>kvar</source>
        <translation>kvar</translation>
    </message>
    <message>
        <source>MV</source>
        <translation>MV</translation>
    </message>
    <message>
        <source>MA</source>
        <translation>MA</translation>
    </message>
    <message>
        <source>MW</source>
        <translation>MW</translation>
    </message>
    <message>
        <source>Mvar</source>
        <translation>Mvar</translation>
    </message>
    <message>
        <source>Hz</source>
        <translation>Hz</translation>
    </message>
    <message>
        <source>C</source>
        <translation>C</translation>
    </message>
    <message>
        <source>mA</source>
        <translation>mA</translation>
    </message>
    <message>
        <source>mkA</source>
        <translation>mkA</translation>
    </message>
    <message>
        <source>GW</source>
        <translation>GW</translation>
    </message>
    <message>
        <source>Gvar</source>
        <translation>Gvar</translation>
    </message>
    <message>
        <source>mV</source>
        <translation>mV</translation>
    </message>
    <message>
        <source>N</source>
        <translation>N</translation>
    </message>
    <message>
        <source>%</source>
        <translation>%</translation>
    </message>
    <message>
        <source>Заводской номер</source>
        <translation>Serial number</translation>
    </message>
    <message>
        <source>№</source>
        <translation>No.</translation>
    </message>
    <message>
        <source>Серийный номер прибора</source>
        <translation>Serial number of the instrument</translation>
    </message>
    <message>
        <source>Год</source>
        <translation>Year</translation>
    </message>
    <message>
        <source>Год выпуска</source>
        <translation>Year of manufacture</translation>
    </message>
    <message>
        <source>Пар.</source>
        <translation>Par.</translation>
    </message>
    <message>
        <source>Количество измеряемых параметров</source>
        <translation>Number of measured parameters</translation>
    </message>
    <message>
        <source>Яркость</source>
        <translation>Brightness</translation>
    </message>
    <message>
        <source>Яркость индикатора</source>
        <translation>Brightness of the display</translation>
    </message>
    <message>
        <source>Дополнительная информация</source>
        <translation>Additional information</translation>
    </message>
    <message>
        <source>Дополнителная информация о приборе (текст 64 символа)</source>
        <translation>Additional information about the instrument (a text of 64 characters)</translation>
    </message>
    <message>
        <source>Уставки</source>
        <translation>Setpoints</translation>
    </message>
    <message>
        <source>min</source>
        <translation>min</translation>
    </message>
    <message>
        <source>Уставка при принижении которой шкала мигает (задается в % от шкалы прибора, спецзаказ) </source>
        <translation>Setpoint below which the display flashes (in % of the instrument&apos;s scale, special order) </translation>
    </message>
    <message>
        <source>max</source>
        <translation>max</translation>
    </message>
    <message>
        <source>Уставка при привышении которой шкала мигает (задается в % от шкалы прибора 0-120%)</source>
        <translation>Setpoint above which the display flashes (in % of the instrument&apos;s scale, 0-120%)</translation>
    </message>
    <message>
        <source>Скорость</source>
        <translation>Speed</translation>
    </message>
    <message>
        <source>RS1</source>
        <translation>RS1</translation>
    </message>
    <message>
        <source>RS2</source>
        <translation>RS2</translation>
    </message>
    <message>
        <source>Настройки реле</source>
        <translation>Relay settings</translation>
    </message>
    <message>
        <source>№ реле</source>
        <translation>Relay No.</translation>
    </message>
    <message>
        <source>2</source>
        <translation>2</translation>
    </message>
    <message>
        <source>Режим работы</source>
        <translation>Operating mode</translation>
    </message>
    <message>
        <source>выключено</source>
        <translation>off</translation>
    </message>
    <message>
        <source>&lt; У1</source>
        <translation>&lt; SP1</translation>
    </message>
    <message>
        <source>&gt; У1</source>
        <translation>&gt; SP1</translation>
    </message>
    <message>
        <source>&lt; У2</source>
        <translation>&lt; SP2</translation>
    </message>
    <message>
        <source>&gt; У2</source>
        <translation>&gt; SP2</translation>
    </message>
    <message>
        <source>Задержка срабатывания</source>
        <translation>Switching delay</translation>
    </message>
    <message>
        <source>сек</source>
        <translation>s</translation>
    </message>
    <message>
        <source>Гистерезис</source>
        <translation>Hysteresis</translation>
    </message>
    <message>
        <source>Сигнализация</source>
        <translation>Alarm</translation>
    </message>
    <message>
        <source>отключена</source>
        <translation>off</translation>
    </message>
    <message>
        <source>реле 1</source>
        <translation>relay 1</translation>
    </message>
    <message>
        <source>реле 2</source>
        <translation>relay 2</translation>
    </message>
    <message>
        <source>оба реле</source>
        <translation>both relays</translation>
    </message>
    <message>
        <source>Параметры протокола МЭК-101</source>
        <translation>IEC 60870-5-101 protocol parameters</translation>
    </message>
    <message>
        <source>Размер общего адреса ADSU</source>
        <translation>ASDU common address size</translation>
    </message>
    <message>
        <source>1 байт</source>
        <translation>1 byte</translation>
    </message>
    <message>
        <source>2 байта</source>
        <translation>2 bytes</translation>
    </message>
    <message>
        <source>Размер адреса объекта информации</source>
        <translation>Information object address size</translation>
    </message>
    <message>
        <source>3 байта</source>
        <translation>3 bytes</translation>
    </message>
    <message>
        <source>Размер поля &apos;причина передачи&apos;</source>
        <translation>Size of the &apos;cause of transmission&apos; field</translation>
    </message>
    <message>
        <source>Тип ASDU</source>
        <translation>ASDU type</translation>
    </message>
    <message>
        <source>&lt;9&gt;   M_ME_NA_1</source>
        <translation>&lt;9&gt;   M_ME_NA_1</translation>
    </message>
    <message>
        <source>&lt;13&gt; M_ME_NC_1</source>
        <translation>&lt;13&gt; M_ME_NC_1</translation>
    </message>
    <message>
        <source>&lt;21&gt; M_ME_ND_1</source>
        <translation>&lt;21&gt; M_ME_ND_1</translation>
    </message>
    <message>
        <source>Аналоговый выход</source>
        <translation>Analog output</translation>
    </message>
    <message>
        <source>Уровень выходного сигнала (Спецзаказ)</source>
        <translation>Output signal level (special order)</translation>
    </message>
    <message>
        <source>Номинальный</source>
        <translation>Nominal</translation>
    </message>
    <message>
        <source>Удвоенный</source>
        <translation>Doubled</translation>
    </message>
    <message>
        <source>Button1</source>
        <translation>Button1</translation>
    </message>
    <message>
        <source>I=2.5 (0.5)</source>
        <translation>I=2.5 (0.5)</translation>
    </message>
    <message>
        <source>I=5 (1)</source>
        <translation>I=5 (1)</translation>
    </message>
    <message>
        <source>Сменить протокол в приборе на ModBus RTU</source>
        <translation>Switch the device to ModBus RTU</translation>
    </message>
    <message>
        <source>Сменить протокол в приборе на Quorvanta</source>
        <translation>Switch the device to Quorvanta</translation>
    </message>
    <message>
        <source>%1 %2        Протокол: %3   %4</source>
        <translation>%1 %2        Protocol: %3   %4</translation>
    </message>
    <message>
        <source>Ошибка</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Интервал опроса «%1» не является целым числом: сохранено значение %2.</source>
        <translation>The polling interval “%1” is not an integer: %2 was stored.</translation>
    </message>
    <message>
        <source>Не удалось записать файл настроек %1.</source>
        <translation>The settings file %1 could not be written.</translation>
    </message>
    <message>
        <source>Команда недоступна в протоколе ModBus RTU</source>
        <translation>The command is not available in ModBus RTU</translation>
    </message>
    <message>
        <source>Неверно указан адрес устройства: %1 (допустимо %2)</source>
        <translation>Invalid device address: %1 (allowed: %2)</translation>
    </message>
    <message>
        <source>Неверно задана единица измерения</source>
        <translation>Invalid unit of measurement</translation>
    </message>
    <message>
        <source>Неверно задан заводской номер</source>
        <translation>Invalid serial number</translation>
    </message>
    <message>
        <source>Неверно указан адрес устройства</source>
        <translation>Invalid device address</translation>
    </message>
    <message>
        <source>Обмен</source>
        <translation>Exchange</translation>
    </message>
    <message>
        <source>Монитор обмена</source>
        <translation>Frame monitor</translation>
    </message>
    <message>
        <source>Частота обновления не подходит: опрос идёт с паузой %1 мс</source>
        <translation>The update interval is not usable: polling goes on with a pause of %1 ms</translation>
    </message>
    <message>
        <source>Частота обновления: «%1» не подходит, введите целое число миллисекунд от 1 до %2</source>
        <translation>Update interval: “%1” is not usable; type a whole number of milliseconds from 1 to %2</translation>
    </message>
    <message>
        <source>поиск прибора</source>
        <translation>the instrument search</translation>
    </message>
    <message>
        <source>линию занял другой запрос</source>
        <translation>another request took the line</translation>
    </message>
    <message>
        <source>ошибка обмена</source>
        <translation>exchange error</translation>
    </message>
    <message>
        <source>открыта страница параметров</source>
        <translation>the parameter page was opened</translation>
    </message>
    <message>
        <source>открыта настройка порта</source>
        <translation>the port settings were opened</translation>
    </message>
    <message>
        <source>линию занял другой обмен</source>
        <translation>another exchange took the line</translation>
    </message>
    <message>
        <source>ошибка линии</source>
        <translation>line failure</translation>
    </message>
    <message>
        <source>пусто</source>
        <translation>empty</translation>
    </message>
    <message>
        <source>нажата кнопка «Стоп»</source>
        <translation>the &quot;Stop&quot; button was pressed</translation>
    </message>
    <message>
        <source>Порт %1 — шлюз Modbus TCP: он передаёт только кадры ModBus RTU, протокол QV через него не работает. Выберите в «Настройке» протокол ModBus RTU или прозрачный сервер tcp://.</source>
        <translation>Port %1 is a Modbus TCP gateway: it carries Modbus RTU frames only, QV cannot pass it. Choose the Modbus RTU protocol or a transparent tcp:// server in “Settings”.</translation>
    </message>
    <message>
        <source>Запись адреса %1</source>
        <translation>Writing address %1</translation>
    </message>
    <message>
        <source>Смена адреса</source>
        <translation>Changing the address</translation>
    </message>
    <message>
        <source>Адрес не изменён: дождитесь окончания обмена с прибором.</source>
        <translation>Address not changed: wait until the exchange with the instrument has ended.</translation>
    </message>
</context>
</TS>
