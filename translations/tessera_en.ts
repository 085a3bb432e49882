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
        <source>1200</source>
        <translation>1200</translation>
    </message>
    <message>
        <source>2400</source>
        <translation>2400</translation>
    </message>
    <message>
        <source>4800</source>
        <translation>4800</translation>
    </message>
    <message>
        <source>9600</source>
        <translation>9600</translation>
    </message>
    <message>
        <source>19200</source>
        <translation>19200</translation>
    </message>
    <message>
        <source>38400</source>
        <translation>38400</translation>
    </message>
    <message>
        <source>57600</source>
        <translation>57600</translation>
    </message>
    <message>
        <source>115200</source>
        <translation>115200</translation>
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
        <source>1200</source>
        <translation>1200</translation>
    </message>
    <message>
        <source>2400</source>
        <translation>2400</translation>
    </message>
    <message>
        <source>4800</source>
        <translation>4800</translation>
    </message>
    <message>
        <source>9600</source>
        <translation>9600</translation>
    </message>
    <message>
        <source>19200</source>
        <translation>19200</translation>
    </message>
    <message>
        <source>38400</source>
        <translation>38400</translation>
    </message>
    <message>
        <source>57600</source>
        <translation>57600</translation>
    </message>
    <message>
        <source>115200</source>
        <translation>115200</translation>
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
</context>
</TS>
