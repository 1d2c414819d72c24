<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_TW" sourcelanguage="en">
<context>
    <name>velora</name>
    <message>
        <source>&lt;font size=3&gt;&lt;b&gt;velora %1&lt;/b&gt;&lt;/font&gt;&lt;br&gt;&lt;font size=2&gt;For Motorola E6 and A1200&lt;br&gt;Contact: the velora project&lt;br&gt;----------------------------&lt;br&gt;Qt 6 edition for Linux&lt;br&gt;----------------------------&lt;br&gt;%2&lt;/font&gt;</source>
        <translation>&lt;font size=3&gt;&lt;b&gt;velora %1&lt;/b&gt;&lt;/font&gt;&lt;br&gt;&lt;font size=2&gt;適用於摩托羅拉 E6 與 A1200&lt;br&gt;聯絡：velora 專案&lt;br&gt;----------------------------&lt;br&gt;Linux 版（Qt 6）&lt;br&gt;----------------------------&lt;br&gt;%2&lt;/font&gt;</translation>
    </message>
    <message>
        <source>GPL-2.0-or-later. Cancel: ~/readme</source>
        <translation>GPL-2.0 或更新版本。取消：~/readme</translation>
    </message>
    <message>
        <source>Ok  </source>
        <translation>確定</translation>
    </message>
    <message>
        <source>Cancel  </source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Time lyrics</source>
        <translation>歌詞計時</translation>
    </message>
    <message>
        <source>Save lyrics</source>
        <translation>儲存歌詞</translation>
    </message>
    <message>
        <source>Actual  </source>
        <translation>目前清單</translation>
    </message>
    <message>
        <source>Fit screen</source>
        <translation>符合螢幕</translation>
    </message>
    <message>
        <source>Wallpaper</source>
        <translation>桌布</translation>
    </message>
    <message>
        <source>Font    </source>
        <translation>字型</translation>
    </message>
    <message>
        <source>Skins   </source>
        <translation>佈景</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>大小</translation>
    </message>
    <message>
        <source>About   </source>
        <translation>關於</translation>
    </message>
    <message>
        <source>Exit    </source>
        <translation>結束</translation>
    </message>
    <message>
        <source>Vol     </source>
        <translation>音量 </translation>
    </message>
    <message>
        <source>Lrc %1%2.%3 s</source>
        <translation>歌詞 %1%2.%3 秒</translation>
    </message>
    <message>
        <source>No song to time</source>
        <translation>沒有可計時的歌曲</translation>
    </message>
    <message>
        <source>Lyrics text</source>
        <translation>歌詞文字</translation>
    </message>
    <message>
        <source>No lines to time</source>
        <translation>沒有可計時的歌詞行</translation>
    </message>
    <message>
        <source>Timing %1/%2</source>
        <translation>計時 %1/%2</translation>
    </message>
    <message>
        <source>Line %1 at %2</source>
        <translation>第 %1 行：%2</translation>
    </message>
    <message>
        <source>Cannot save the lyrics</source>
        <translation>無法儲存歌詞</translation>
    </message>
    <message>
        <source>Lyrics saved</source>
        <translation>歌詞已儲存</translation>
    </message>
    <message>
        <source>Save the times tapped so far?</source>
        <translation>儲存目前已點按的時間嗎？</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>儲存</translation>
    </message>
    <message>
        <source>Discard</source>
        <translation>放棄</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>No songs in this folder</source>
        <translation>此資料夾中沒有歌曲</translation>
    </message>
    <message>
        <source>Off</source>
        <translation>關</translation>
    </message>
    <message>
        <source>Track</source>
        <translation>按曲目</translation>
    </message>
    <message>
        <source>Album</source>
        <translation>按專輯</translation>
    </message>
    <message>
        <source>Auto</source>
        <translation>自動</translation>
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
        <translation>色調(&amp;E)：</translation>
    </message>
    <message>
        <source>&amp;Sat:</source>
        <translation>飽和度(&amp;S)：</translation>
    </message>
    <message>
        <source>&amp;Val:</source>
        <translation>亮度(&amp;V)：</translation>
    </message>
    <message>
        <source>&amp;Red:</source>
        <translation>紅(&amp;R)：</translation>
    </message>
    <message>
        <source>&amp;Green:</source>
        <translation>綠(&amp;G)：</translation>
    </message>
    <message>
        <source>Bl&amp;ue:</source>
        <translation>藍(&amp;U)：</translation>
    </message>
    <message>
        <source>A&amp;lpha channel:</source>
        <translation>透明度(&amp;L)：</translation>
    </message>
    <message>
        <source>Choose color</source>
        <translation>選擇顏色</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>確定</translation>
    </message>
    <message>
        <source>Presets</source>
        <translation>預設</translation>
    </message>
    <message>
        <source>Load Preset</source>
        <translation>載入預設</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>關閉</translation>
    </message>
    <message>
        <source>Act </source>
        <translation>套用</translation>
    </message>
    <message>
        <source>Name:</source>
        <translation>名稱：</translation>
    </message>
    <message>
        <source>Playlist</source>
        <translation>播放清單</translation>
    </message>
    <message>
        <source>My playlist</source>
        <translation>我的播放清單</translation>
    </message>
    <message>
        <source>OK  </source>
        <translation>確定</translation>
    </message>
    <message>
        <source>Check all</source>
        <translation>全選</translation>
    </message>
    <message>
        <source>Uncheck all</source>
        <translation>全不選</translation>
    </message>
    <message>
        <source>Invert checks</source>
        <translation>反選</translation>
    </message>
    <message>
        <source>Add songs</source>
        <translation>新增歌曲</translation>
    </message>
    <message>
        <source>Remove songs</source>
        <translation>移除歌曲</translation>
    </message>
    <message>
        <source>Open playlist</source>
        <translation>開啟播放清單</translation>
    </message>
    <message>
        <source>Save as</source>
        <translation>另存新檔</translation>
    </message>
    <message>
        <source>Delete playlist</source>
        <translation>刪除播放清單</translation>
    </message>
    <message>
        <source>Add  </source>
        <translation>新增</translation>
    </message>
    <message>
        <source>Remove  </source>
        <translation>移除</translation>
    </message>
    <message>
        <source>The playlist could not be written.</source>
        <translation>無法寫入播放清單。</translation>
    </message>
    <message>
        <source>Save playlist as</source>
        <translation>播放清單另存為</translation>
    </message>
    <message>
        <source>Playlists</source>
        <translation>播放清單</translation>
    </message>
    <message>
        <source>Type a name for the playlist.</source>
        <translation>請輸入播放清單的名稱。</translation>
    </message>
    <message>
        <source>A name of dots only cannot name a playlist.</source>
        <translation>播放清單名稱不能只由點組成。</translation>
    </message>
    <message>
        <source>A playlist name cannot begin with a dot.</source>
        <translation>播放清單名稱不能以點開頭。</translation>
    </message>
    <message>
        <source>A playlist name cannot hold / \ : * ? &quot; &lt; or &gt;.</source>
        <translation>播放清單名稱不能包含 / \ : * ? &quot; &lt; 或 &gt;。</translation>
    </message>
    <message>
        <source>The name is too long.</source>
        <translation>名稱太長。</translation>
    </message>
    <message>
        <source>The playlist could not be read.</source>
        <translation>無法讀取播放清單。</translation>
    </message>
    <message>
        <source>Replace the saved playlist </source>
        <translation>取代已儲存的播放清單 </translation>
    </message>
    <message>
        <source>Replace</source>
        <translation>取代</translation>
    </message>
    <message>
        <source>Only the playlists in </source>
        <translation>只能刪除 </translation>
    </message>
    <message>
        <source> can be deleted.</source>
        <translation> 中的播放清單。</translation>
    </message>
    <message>
        <source>Delete the playlist </source>
        <translation>刪除播放清單 </translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>刪除</translation>
    </message>
    <message>
        <source>The playlist could not be deleted.</source>
        <translation>無法刪除播放清單。</translation>
    </message>
    <message>
        <source>Open Folder</source>
        <translation>開啟資料夾</translation>
    </message>
    <message>
        <source>Open Folder </source>
        <translation>開啟資料夾</translation>
    </message>
    <message>
        <source>Readme</source>
        <translation>說明</translation>
    </message>
    <message>
        <source>Starting the audio engine...</source>
        <translation>正在啟動音訊引擎...</translation>
    </message>
    <message>
        <source>No audio engine: cannot play</source>
        <translation>沒有音訊引擎：無法播放</translation>
    </message>
    <message>
        <source>The audio engine did not start</source>
        <translation>音訊引擎未能啟動</translation>
    </message>
    <message>
        <source>Sound device lost: playing silently</source>
        <translation>音訊裝置已中斷：靜音播放</translation>
    </message>
    <message>
        <source>Cannot play %1</source>
        <translation>無法播放 %1</translation>
    </message>
    <message numerus="yes">
        <source>Cannot play %1 and %n more</source>
        <translation>
            <numerusform>無法播放 %1 及另外 %n 首</numerusform>
        </translation>
    </message>
    <message>
        <source>Chapter %1</source>
        <translation>第 %1 章</translation>
    </message>
</context>
</TS>
