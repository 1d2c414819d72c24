<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN" sourcelanguage="en">
<context>
    <name>velora</name>
    <message>
        <source>&lt;font size=3&gt;&lt;b&gt;velora %1&lt;/b&gt;&lt;/font&gt;&lt;br&gt;&lt;font size=2&gt;For Motorola E6 and A1200&lt;br&gt;Contact: the velora project&lt;br&gt;----------------------------&lt;br&gt;Qt 6 edition for Linux&lt;br&gt;----------------------------&lt;br&gt;%2&lt;/font&gt;</source>
        <translation>&lt;font size=3&gt;&lt;b&gt;velora %1&lt;/b&gt;&lt;/font&gt;&lt;br&gt;&lt;font size=2&gt;适用于摩托罗拉 E6 和 A1200&lt;br&gt;联系：velora 项目&lt;br&gt;----------------------------&lt;br&gt;Linux 版（Qt 6）&lt;br&gt;----------------------------&lt;br&gt;%2&lt;/font&gt;</translation>
    </message>
    <message>
        <source>GPL-2.0-or-later. Cancel: ~/readme</source>
        <translation>GPL-2.0 或更高版本。取消：~/readme</translation>
    </message>
    <message>
        <source>Ok  </source>
        <translation>确定</translation>
    </message>
    <message>
        <source>Cancel  </source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Time lyrics</source>
        <translation>歌词计时</translation>
    </message>
    <message>
        <source>Save lyrics</source>
        <translation>保存歌词</translation>
    </message>
    <message>
        <source>Actual  </source>
        <translation>当前列表</translation>
    </message>
    <message>
        <source>Fit screen</source>
        <translation>适合屏幕</translation>
    </message>
    <message>
        <source>Wallpaper</source>
        <translation>壁纸</translation>
    </message>
    <message>
        <source>Font    </source>
        <translation>字体</translation>
    </message>
    <message>
        <source>Skins   </source>
        <translation>皮肤</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>大小</translation>
    </message>
    <message>
        <source>About   </source>
        <translation>关于</translation>
    </message>
    <message>
        <source>Exit    </source>
        <translation>退出</translation>
    </message>
    <message>
        <source>Vol     </source>
        <translation>音量 </translation>
    </message>
    <message>
        <source>Lrc %1%2.%3 s</source>
        <translation>歌词 %1%2.%3 秒</translation>
    </message>
    <message>
        <source>No song to time</source>
        <translation>没有可计时的歌曲</translation>
    </message>
    <message>
        <source>Lyrics text</source>
        <translation>歌词文本</translation>
    </message>
    <message>
        <source>No lines to time</source>
        <translation>没有可计时的歌词行</translation>
    </message>
    <message>
        <source>Timing %1/%2</source>
        <translation>计时 %1/%2</translation>
    </message>
    <message>
        <source>Line %1 at %2</source>
        <translation>第 %1 行：%2</translation>
    </message>
    <message>
        <source>Cannot save the lyrics</source>
        <translation>无法保存歌词</translation>
    </message>
    <message>
        <source>Lyrics saved</source>
        <translation>歌词已保存</translation>
    </message>
    <message>
        <source>Save the times tapped so far?</source>
        <translation>保存目前已点按的时间吗？</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>保存</translation>
    </message>
    <message>
        <source>Discard</source>
        <translation>放弃</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>No songs in this folder</source>
        <translation>此文件夹中没有歌曲</translation>
    </message>
    <message>
        <source>Off</source>
        <translation>关</translation>
    </message>
    <message>
        <source>Track</source>
        <translation>按曲目</translation>
    </message>
    <message>
        <source>Album</source>
        <translation>按专辑</translation>
    </message>
    <message>
        <source>Auto</source>
        <translation>自动</translation>
    </message>
    <message>
        <source>Speed </source>
        <translation>速度 </translation>
    </message>
    <message>
        <source>Slower</source>
        <translation>慢一些</translation>
    </message>
    <message>
        <source>Faster</source>
        <translation>快一些</translation>
    </message>
    <message>
        <source>Speed   </source>
        <translation>速度</translation>
    </message>
    <message>
        <source>ReplayGain</source>
        <translation>音量均衡</translation>
    </message>
    <message>
        <source>ReplayGain </source>
        <translation>音量均衡 </translation>
    </message>
    <message>
        <source>Hu&amp;e:</source>
        <translation>色调(&amp;E)：</translation>
    </message>
    <message>
        <source>&amp;Sat:</source>
        <translation>饱和度(&amp;S)：</translation>
    </message>
    <message>
        <source>&amp;Val:</source>
        <translation>亮度(&amp;V)：</translation>
    </message>
    <message>
        <source>&amp;Red:</source>
        <translation>红(&amp;R)：</translation>
    </message>
    <message>
        <source>&amp;Green:</source>
        <translation>绿(&amp;G)：</translation>
    </message>
    <message>
        <source>Bl&amp;ue:</source>
        <translation>蓝(&amp;U)：</translation>
    </message>
    <message>
        <source>A&amp;lpha channel:</source>
        <translation>透明度(&amp;L)：</translation>
    </message>
    <message>
        <source>Choose color</source>
        <translation>选择颜色</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>Presets</source>
        <translation>预设</translation>
    </message>
    <message>
        <source>Load Preset</source>
        <translation>载入预设</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>关闭</translation>
    </message>
    <message>
        <source>Act </source>
        <translation>应用</translation>
    </message>
    <message>
        <source>Name:</source>
        <translation>名称：</translation>
    </message>
    <message>
        <source>Playlist</source>
        <translation>播放列表</translation>
    </message>
    <message>
        <source>My playlist</source>
        <translation>我的播放列表</translation>
    </message>
    <message>
        <source>OK  </source>
        <translation>确定</translation>
    </message>
    <message>
        <source>Check all</source>
        <translation>全选</translation>
    </message>
    <message>
        <source>Uncheck all</source>
        <translation>全不选</translation>
    </message>
    <message>
        <source>Invert checks</source>
        <translation>反选</translation>
    </message>
    <message>
        <source>Add songs</source>
        <translation>添加歌曲</translation>
    </message>
    <message>
        <source>Remove songs</source>
        <translation>删除歌曲</translation>
    </message>
    <message>
        <source>Open playlist</source>
        <translation>打开播放列表</translation>
    </message>
    <message>
        <source>Save as</source>
        <translation>另存为</translation>
    </message>
    <message>
        <source>Delete playlist</source>
        <translation>删除播放列表</translation>
    </message>
    <message>
        <source>Add  </source>
        <translation>添加</translation>
    </message>
    <message>
        <source>Remove  </source>
        <translation>删除</translation>
    </message>
    <message>
        <source>The playlist could not be written.</source>
        <translation>无法写入播放列表。</translation>
    </message>
    <message>
        <source>Save playlist as</source>
        <translation>播放列表另存为</translation>
    </message>
    <message>
        <source>Playlists</source>
        <translation>播放列表</translation>
    </message>
    <message>
        <source>Type a name for the playlist.</source>
        <translation>请输入播放列表的名称。</translation>
    </message>
    <message>
        <source>A name of dots only cannot name a playlist.</source>
        <translation>播放列表名称不能只由点组成。</translation>
    </message>
    <message>
        <source>A playlist name cannot begin with a dot.</source>
        <translation>播放列表名称不能以点开头。</translation>
    </message>
    <message>
        <source>A playlist name cannot hold / \ : * ? &quot; &lt; or &gt;.</source>
        <translation>播放列表名称不能包含 / \ : * ? &quot; &lt; 或 &gt;。</translation>
    </message>
    <message>
        <source>The name is too long.</source>
        <translation>名称太长。</translation>
    </message>
    <message>
        <source>The playlist could not be read.</source>
        <translation>无法读取播放列表。</translation>
    </message>
    <message>
        <source>Replace the saved playlist </source>
        <translation>替换已保存的播放列表 </translation>
    </message>
    <message>
        <source>Replace</source>
        <translation>替换</translation>
    </message>
    <message>
        <source>Only the playlists in </source>
        <translation>只能删除 </translation>
    </message>
    <message>
        <source> can be deleted.</source>
        <translation> 中的播放列表。</translation>
    </message>
    <message>
        <source>Delete the playlist </source>
        <translation>删除播放列表 </translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>删除</translation>
    </message>
    <message>
        <source>The playlist could not be deleted.</source>
        <translation>无法删除播放列表。</translation>
    </message>
    <message>
        <source>Open Folder</source>
        <translation>打开文件夹</translation>
    </message>
    <message>
        <source>Open Folder </source>
        <translation>打开文件夹</translation>
    </message>
    <message>
        <source>Readme</source>
        <translation>说明</translation>
    </message>
    <message>
        <source>Starting the audio engine...</source>
        <translation>正在启动音频引擎...</translation>
    </message>
    <message>
        <source>No audio engine: cannot play</source>
        <translation>没有音频引擎：无法播放</translation>
    </message>
    <message>
        <source>The audio engine did not start</source>
        <translation>音频引擎未能启动</translation>
    </message>
    <message>
        <source>Sound device lost: playing silently</source>
        <translation>音频设备已断开：静音播放</translation>
    </message>
    <message>
        <source>Cannot play %1</source>
        <translation>无法播放 %1</translation>
    </message>
    <message numerus="yes">
        <source>Cannot play %1 and %n more</source>
        <translation>
            <numerusform>无法播放 %1 及另外 %n 首</numerusform>
        </translation>
    </message>
    <message>
        <source>Chapter %1</source>
        <translation>第 %1 章</translation>
    </message>
</context>
</TS>
