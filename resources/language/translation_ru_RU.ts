<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru_RU">
<context>
    <name>Widget</name>
    <message>
        <source>Ordavex Video PlayBack System </source>
        <translation>Ordavex — система воспроизведения видео </translation>
    </message>
    <message>
        <source>Open File</source>
        <translation>Открыть файл</translation>
    </message>
    <message>
        <source>Map</source>
        <translation>Карта</translation>
    </message>
    <message>
        <source>Language</source>
        <translation>Язык</translation>
    </message>
    <message>
        <source>stop</source>
        <translation>Остановить</translation>
    </message>
    <message>
        <source>forwards/pause</source>
        <translation>Продвижение вперед / приостановление</translation>
    </message>
    <message>
        <source>step</source>
        <translation>Шаг</translation>
    </message>
    <message>
        <source>second play</source>
        <translation>Секунд</translation>
    </message>
    <message>
        <source>previous page</source>
        <translation>Предыдущая страница</translation>
    </message>
    <message>
        <source>next page</source>
        <translation>Следующая страница</translation>
    </message>
    <message>
        <source>single window</source>
        <translation>Одно окно</translation>
    </message>
    <message>
        <source>four windows</source>
        <translation>Четыре окна</translation>
    </message>
    <message>
        <source>eight windows</source>
        <translation>Восемь окон</translation>
    </message>
    <message>
        <source>nine windows</source>
        <translation>Девять окон</translation>
    </message>
    <message>
        <source>twelve windows</source>
        <translation>Двенадцать окон</translation>
    </message>
    <message>
        <source>full screen</source>
        <translation>Полный экран</translation>
    </message>
    <message>
        <source>snapshot</source>
        <translation>Снимок</translation>
    </message>
    <message>
        <source>settings</source>
        <translation>Настройка</translation>
    </message>
    <message>
        <source>Chinese</source>
        <translation>Китайский язык</translation>
    </message>
    <message>
        <source>English</source>
        <translation>Английский язык</translation>
    </message>
    <message>
        <source>Japanese</source>
        <translation>Японский язык</translation>
    </message>
    <message>
        <source>Russian</source>
        <translation>Русский язык</translation>
    </message>
</context>
<context>
    <name>SettingsWidget</name>
    <message>
        <source>Seetings</source>
        <translation>Настройки</translation>
    </message>
    <message>
        <source>Snapshot Path</source>
        <translation>Папка снимков</translation>
    </message>
    <message>
        <source>Open map offset</source>
        <translation>Коррекция смещения карты</translation>
    </message>
    <message>
        <source>Enable map track playback</source>
        <translation>Воспроизводить маршрут на карте</translation>
    </message>
    <message>
        <source>channel1</source>
        <translation>Канал 1</translation>
    </message>
    <message>
        <source>channel2</source>
        <translation>Канал 2</translation>
    </message>
    <message>
        <source>channel3</source>
        <translation>Канал 3</translation>
    </message>
    <message>
        <source>channel4</source>
        <translation>Канал 4</translation>
    </message>
    <message>
        <source>channel5</source>
        <translation>Канал 5</translation>
    </message>
    <message>
        <source>channel6</source>
        <translation>Канал 6</translation>
    </message>
    <message>
        <source>channel7</source>
        <translation>Канал 7</translation>
    </message>
    <message>
        <source>channel8</source>
        <translation>Канал 8</translation>
    </message>
    <message>
        <source>Mirror</source>
        <translation>Отразить</translation>
    </message>
    <message>
        <source>Google Map</source>
        <translation>Карты Google</translation>
    </message>
    <message>
        <source>Badidu Map</source>
        <translation>Карты Baidu</translation>
    </message>
    <message>
        <source>OS Map</source>
        <translation>Карты OSM</translation>
    </message>
    <message>
        <source>Bing Map</source>
        <translation>Карты Bing</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>ОК</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Отмена</translation>
    </message>
    <message>
        <source>ReStart</source>
        <translation>Перезапуск</translation>
    </message>
    <message>
        <source>Restart Player to take it effect now?</source>
        <translation>Перезапустить проигрыватель, чтобы изменения вступили в силу?</translation>
    </message>
    <message>
        <source>Select snapshot directory of photo</source>
        <translation>Выберите папку для снимков</translation>
    </message>
</context>
<context>
    <name>CustomSearchList</name>
    <message>
        <source>Date</source>
        <translation>Дата</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>Время</translation>
    </message>
    <message>
        <source>Duration</source>
        <translation>Длительность</translation>
    </message>
    <message>
        <source>Channel</source>
        <translation>Канал</translation>
    </message>
    <message>
        <source>RecType</source>
        <translation>Тип записи</translation>
    </message>
    <message>
        <source>Path</source>
        <translation>Путь</translation>
    </message>
    <message>
        <source>StartTime</source>
        <translation>Начало</translation>
    </message>
    <message>
        <source>EndTime</source>
        <translation>Конец</translation>
    </message>
    <message>
        <source>CarNum</source>
        <translation>Номер ТС</translation>
    </message>
    <message>
        <source>Manual</source>
        <translation>Ручная</translation>
    </message>
    <message>
        <source>Alarm</source>
        <translation>Тревожная</translation>
    </message>
    <message>
        <source>Search</source>
        <translation>Поиск</translation>
    </message>
    <message>
        <source>Backup</source>
        <translation>Резервная копия</translation>
    </message>
    <message>
        <source>property</source>
        <translation>Свойства</translation>
    </message>
    <message>
        <source>Open Directory</source>
        <translation>Открыть папку</translation>
    </message>
    <message>
        <source>select back up path</source>
        <translation>Выберите папку для резервной копии</translation>
    </message>
</context>
<context>
    <name>PropertyWidget</name>
    <message>
        <source>Property</source>
        <translation>Свойства</translation>
    </message>
    <message>
        <source>File Type:</source>
        <translation>Тип файла:</translation>
    </message>
    <message>
        <source>File Size:</source>
        <translation>Размер файла:</translation>
    </message>
    <message>
        <source>Duration:</source>
        <translation>Длительность:</translation>
    </message>
    <message>
        <source>Bitrate:</source>
        <translation>Битрейт:</translation>
    </message>
    <message>
        <source>Bitrate:    </source>
        <translation>Битрейт:    </translation>
    </message>
    <message>
        <source>Frame rate:</source>
        <translation>Частота кадров:</translation>
    </message>
    <message>
        <source>Resolution:</source>
        <translation>Разрешение:</translation>
    </message>
    <message>
        <source>File Path:</source>
        <translation>Путь к файлу:</translation>
    </message>
</context>
<context>
    <name>CopyFileS</name>
    <message>
        <source>save path error!</source>
        <translation>Неверная папка для сохранения!</translation>
    </message>
    <message>
        <source>copy file failed!</source>
        <translation>Не удалось скопировать файл!</translation>
    </message>
    <message>
        <source>Forced shutdown!</source>
        <translation>Принудительно остановлено!</translation>
    </message>
    <message>
        <source>Thread has exited!</source>
        <translation>Поток уже завершён!</translation>
    </message>
</context>
<context>
    <name>CopyMessageDialog</name>
    <message>
        <source>Back up File</source>
        <translation>Резервное копирование</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Отмена</translation>
    </message>
    <message>
        <source>copy succeed!</source>
        <translation>Копирование завершено!</translation>
    </message>
</context>
<context>
    <name>SpeedSlider</name>
    <message>
        <source>play speed</source>
        <translation>Скорость воспроизведения</translation>
    </message>
</context>
</TS>
