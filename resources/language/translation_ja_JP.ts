<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja_JP">
<context>
    <name>Widget</name>
    <message>
        <source>Ordavex Video PlayBack System </source>
        <translation>Ordavex ビデオ再生システム </translation>
    </message>
    <message>
        <source>Open File</source>
        <translation>ファイルを開く</translation>
    </message>
    <message>
        <source>Map</source>
        <translation>地図</translation>
    </message>
    <message>
        <source>Language</source>
        <translation>言語</translation>
    </message>
    <message>
        <source>stop</source>
        <translation>ストップ</translation>
    </message>
    <message>
        <source>forwards/pause</source>
        <translation>前進/一時停止</translation>
    </message>
    <message>
        <source>step</source>
        <translation>ステップ</translation>
    </message>
    <message>
        <source>second play</source>
        <translation>秒放送</translation>
    </message>
    <message>
        <source>previous page</source>
        <translation>前のページ</translation>
    </message>
    <message>
        <source>next page</source>
        <translation>次のページ</translation>
    </message>
    <message>
        <source>single window</source>
        <translation>単一ウィンドウ</translation>
    </message>
    <message>
        <source>four windows</source>
        <translation>4つのウィンドウ</translation>
    </message>
    <message>
        <source>eight windows</source>
        <translation>8つのウィンドウ</translation>
    </message>
    <message>
        <source>nine windows</source>
        <translation>9つのウィンドウ</translation>
    </message>
    <message>
        <source>twelve windows</source>
        <translation>12の窓</translation>
    </message>
    <message>
        <source>full screen</source>
        <translation>フルスクリーン</translation>
    </message>
    <message>
        <source>snapshot</source>
        <translation>スナップショット</translation>
    </message>
    <message>
        <source>settings</source>
        <translation>設定</translation>
    </message>
    <message>
        <source>Chinese</source>
        <translation>中国語</translation>
    </message>
    <message>
        <source>English</source>
        <translation>英語</translation>
    </message>
    <message>
        <source>Japanese</source>
        <translation>日本語</translation>
    </message>
    <message>
        <source>Russian</source>
        <translation>ロシア語</translation>
    </message>
</context>
<context>
    <name>SettingsWidget</name>
    <message>
        <source>Seetings</source>
        <translation>設定</translation>
    </message>
    <message>
        <source>Snapshot Path</source>
        <translation>スナップショットの保存先</translation>
    </message>
    <message>
        <source>Open map offset</source>
        <translation>地図の位置補正を有効にする</translation>
    </message>
    <message>
        <source>Enable map track playback</source>
        <translation>地図で軌跡を再生する</translation>
    </message>
    <message>
        <source>channel1</source>
        <translation>チャンネル1</translation>
    </message>
    <message>
        <source>channel2</source>
        <translation>チャンネル2</translation>
    </message>
    <message>
        <source>channel3</source>
        <translation>チャンネル3</translation>
    </message>
    <message>
        <source>channel4</source>
        <translation>チャンネル4</translation>
    </message>
    <message>
        <source>channel5</source>
        <translation>チャンネル5</translation>
    </message>
    <message>
        <source>channel6</source>
        <translation>チャンネル6</translation>
    </message>
    <message>
        <source>channel7</source>
        <translation>チャンネル7</translation>
    </message>
    <message>
        <source>channel8</source>
        <translation>チャンネル8</translation>
    </message>
    <message>
        <source>Mirror</source>
        <translation>ミラー表示</translation>
    </message>
    <message>
        <source>Google Map</source>
        <translation>Google マップ</translation>
    </message>
    <message>
        <source>Badidu Map</source>
        <translation>Baidu 地図</translation>
    </message>
    <message>
        <source>OS Map</source>
        <translation>OSM マップ</translation>
    </message>
    <message>
        <source>Bing Map</source>
        <translation>Bing マップ</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>キャンセル</translation>
    </message>
    <message>
        <source>ReStart</source>
        <translation>再起動</translation>
    </message>
    <message>
        <source>Restart Player to take it effect now?</source>
        <translation>設定を反映するため、今すぐプレーヤーを再起動しますか？</translation>
    </message>
    <message>
        <source>Select snapshot directory of photo</source>
        <translation>スナップショットの保存先を選択</translation>
    </message>
</context>
<context>
    <name>CustomSearchList</name>
    <message>
        <source>Date</source>
        <translation>日付</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>時刻</translation>
    </message>
    <message>
        <source>Duration</source>
        <translation>再生時間</translation>
    </message>
    <message>
        <source>Channel</source>
        <translation>チャンネル</translation>
    </message>
    <message>
        <source>RecType</source>
        <translation>録画種別</translation>
    </message>
    <message>
        <source>Path</source>
        <translation>パス</translation>
    </message>
    <message>
        <source>StartTime</source>
        <translation>開始時刻</translation>
    </message>
    <message>
        <source>EndTime</source>
        <translation>終了時刻</translation>
    </message>
    <message>
        <source>CarNum</source>
        <translation>車両番号</translation>
    </message>
    <message>
        <source>Manual</source>
        <translation>手動</translation>
    </message>
    <message>
        <source>Alarm</source>
        <translation>アラーム</translation>
    </message>
    <message>
        <source>Search</source>
        <translation>検索</translation>
    </message>
    <message>
        <source>Backup</source>
        <translation>バックアップ</translation>
    </message>
    <message>
        <source>property</source>
        <translation>プロパティ</translation>
    </message>
    <message>
        <source>Open Directory</source>
        <translation>フォルダーを開く</translation>
    </message>
    <message>
        <source>select back up path</source>
        <translation>バックアップ先を選択</translation>
    </message>
</context>
<context>
    <name>PropertyWidget</name>
    <message>
        <source>Property</source>
        <translation>プロパティ</translation>
    </message>
    <message>
        <source>File Type:</source>
        <translation>ファイルの種類：</translation>
    </message>
    <message>
        <source>File Size:</source>
        <translation>ファイルサイズ：</translation>
    </message>
    <message>
        <source>Duration:</source>
        <translation>再生時間：</translation>
    </message>
    <message>
        <source>Bitrate:</source>
        <translation>ビットレート：</translation>
    </message>
    <message>
        <source>Bitrate:    </source>
        <translation>ビットレート：    </translation>
    </message>
    <message>
        <source>Frame rate:</source>
        <translation>フレームレート：</translation>
    </message>
    <message>
        <source>Resolution:</source>
        <translation>解像度：</translation>
    </message>
    <message>
        <source>File Path:</source>
        <translation>ファイルパス：</translation>
    </message>
</context>
<context>
    <name>CopyFileS</name>
    <message>
        <source>save path error!</source>
        <translation>保存先が正しくありません。</translation>
    </message>
    <message>
        <source>copy file failed!</source>
        <translation>ファイルのコピーに失敗しました。</translation>
    </message>
    <message>
        <source>Forced shutdown!</source>
        <translation>強制終了しました。</translation>
    </message>
    <message>
        <source>Thread has exited!</source>
        <translation>スレッドは既に終了しています。</translation>
    </message>
</context>
<context>
    <name>CopyMessageDialog</name>
    <message>
        <source>Back up File</source>
        <translation>ファイルのバックアップ</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>キャンセル</translation>
    </message>
    <message>
        <source>copy succeed!</source>
        <translation>コピーが完了しました。</translation>
    </message>
</context>
<context>
    <name>SpeedSlider</name>
    <message>
        <source>play speed</source>
        <translation>再生速度</translation>
    </message>
</context>
</TS>
