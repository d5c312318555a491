<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>Widget</name>
    <message>
        <source>Ordavex Video PlayBack System </source>
        <translation>Ordavex 视频回放系统 </translation>
    </message>
    <message>
        <source>Open File</source>
        <translation>打开文件</translation>
    </message>
    <message>
        <source>Map</source>
        <translation>地图</translation>
    </message>
    <message>
        <source>Language</source>
        <translation>语言</translation>
    </message>
    <message>
        <source>stop</source>
        <translation>停止</translation>
    </message>
    <message>
        <source>forwards/pause</source>
        <translation>播放/暂停</translation>
    </message>
    <message>
        <source>step</source>
        <translation>单帧</translation>
    </message>
    <message>
        <source>second play</source>
        <translation>秒播</translation>
    </message>
    <message>
        <source>previous page</source>
        <translation>上一页</translation>
    </message>
    <message>
        <source>next page</source>
        <translation>下一页</translation>
    </message>
    <message>
        <source>single window</source>
        <translation>单窗口</translation>
    </message>
    <message>
        <source>four windows</source>
        <translation>四窗口</translation>
    </message>
    <message>
        <source>eight windows</source>
        <translation>八窗口</translation>
    </message>
    <message>
        <source>nine windows</source>
        <translation>九窗口</translation>
    </message>
    <message>
        <source>twelve windows</source>
        <translation>十二窗口</translation>
    </message>
    <message>
        <source>full screen</source>
        <translation>全屏</translation>
    </message>
    <message>
        <source>snapshot</source>
        <translation>快照</translation>
    </message>
    <message>
        <source>settings</source>
        <translation>设置</translation>
    </message>
    <message>
        <source>Chinese</source>
        <translation>中文</translation>
    </message>
    <message>
        <source>English</source>
        <translation>英文</translation>
    </message>
    <message>
        <source>Japanese</source>
        <translation>日语</translation>
    </message>
    <message>
        <source>Russian</source>
        <translation>俄语</translation>
    </message>
</context>
<context>
    <name>SettingsWidget</name>
    <message>
        <source>Seetings</source>
        <translation>设置</translation>
    </message>
    <message>
        <source>Snapshot Path</source>
        <translation>快照路径</translation>
    </message>
    <message>
        <source>Open map offset</source>
        <translation>开启地图纠偏</translation>
    </message>
    <message>
        <source>Enable map track playback</source>
        <translation>启用地图轨迹回放</translation>
    </message>
    <message>
        <source>channel1</source>
        <translation>通道1</translation>
    </message>
    <message>
        <source>channel2</source>
        <translation>通道2</translation>
    </message>
    <message>
        <source>channel3</source>
        <translation>通道3</translation>
    </message>
    <message>
        <source>channel4</source>
        <translation>通道4</translation>
    </message>
    <message>
        <source>channel5</source>
        <translation>通道5</translation>
    </message>
    <message>
        <source>channel6</source>
        <translation>通道6</translation>
    </message>
    <message>
        <source>channel7</source>
        <translation>通道7</translation>
    </message>
    <message>
        <source>channel8</source>
        <translation>通道8</translation>
    </message>
    <message>
        <source>Mirror</source>
        <translation>镜像</translation>
    </message>
    <message>
        <source>Google Map</source>
        <translation>谷歌地图</translation>
    </message>
    <message>
        <source>Badidu Map</source>
        <translation>百度地图</translation>
    </message>
    <message>
        <source>OS Map</source>
        <translation>OSM 地图</translation>
    </message>
    <message>
        <source>Bing Map</source>
        <translation>必应地图</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>ReStart</source>
        <translation>重新启动</translation>
    </message>
    <message>
        <source>Restart Player to take it effect now?</source>
        <translation>是否立即重启播放器使设置生效？</translation>
    </message>
    <message>
        <source>Select snapshot directory of photo</source>
        <translation>选择快照保存目录</translation>
    </message>
</context>
<context>
    <name>CustomSearchList</name>
    <message>
        <source>Date</source>
        <translation>日期</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>时间</translation>
    </message>
    <message>
        <source>Duration</source>
        <translation>时长</translation>
    </message>
    <message>
        <source>Channel</source>
        <translation>通道</translation>
    </message>
    <message>
        <source>RecType</source>
        <translation>录像类型</translation>
    </message>
    <message>
        <source>Path</source>
        <translation>路径</translation>
    </message>
    <message>
        <source>StartTime</source>
        <translation>开始时间</translation>
    </message>
    <message>
        <source>EndTime</source>
        <translation>结束时间</translation>
    </message>
    <message>
        <source>CarNum</source>
        <translation>车牌号</translation>
    </message>
    <message>
        <source>Manual</source>
        <translation>手动</translation>
    </message>
    <message>
        <source>Alarm</source>
        <translation>报警</translation>
    </message>
    <message>
        <source>Search</source>
        <translation>搜索</translation>
    </message>
    <message>
        <source>Backup</source>
        <translation>备份</translation>
    </message>
    <message>
        <source>property</source>
        <translation>属性</translation>
    </message>
    <message>
        <source>Open Directory</source>
        <translation>打开目录</translation>
    </message>
    <message>
        <source>select back up path</source>
        <translation>选择备份路径</translation>
    </message>
</context>
<context>
    <name>PropertyWidget</name>
    <message>
        <source>Property</source>
        <translation>属性</translation>
    </message>
    <message>
        <source>File Type:</source>
        <translation>文件类型：</translation>
    </message>
    <message>
        <source>File Size:</source>
        <translation>文件大小：</translation>
    </message>
    <message>
        <source>Duration:</source>
        <translation>时长：</translation>
    </message>
    <message>
        <source>Bitrate:</source>
        <translation>码率：</translation>
    </message>
    <message>
        <source>Bitrate:    </source>
        <translation>码率：    </translation>
    </message>
    <message>
        <source>Frame rate:</source>
        <translation>帧率：</translation>
    </message>
    <message>
        <source>Resolution:</source>
        <translation>分辨率：</translation>
    </message>
    <message>
        <source>File Path:</source>
        <translation>文件路径：</translation>
    </message>
</context>
<context>
    <name>CopyFileS</name>
    <message>
        <source>save path error!</source>
        <translation>保存路径错误！</translation>
    </message>
    <message>
        <source>copy file failed!</source>
        <translation>文件复制失败！</translation>
    </message>
    <message>
        <source>Forced shutdown!</source>
        <translation>已强制停止！</translation>
    </message>
    <message>
        <source>Thread has exited!</source>
        <translation>线程已退出！</translation>
    </message>
</context>
<context>
    <name>CopyMessageDialog</name>
    <message>
        <source>Back up File</source>
        <translation>备份文件</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>copy succeed!</source>
        <translation>复制成功！</translation>
    </message>
</context>
<context>
    <name>SpeedSlider</name>
    <message>
        <source>play speed</source>
        <translation>播放速度</translation>
    </message>
</context>
</TS>
