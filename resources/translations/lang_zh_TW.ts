<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_TW" sourcelanguage="zh_CN">
<context>
    <name>AboutDialog</name>
    <message>
        <source>关于Vexlo</source>
        <translation>關於Vexlo</translation>
    </message>
    <message>
        <source>简单易用的屏幕录制和音视频批量转码工具，录屏支持全屏、区域和窗口录制，并提供多种输出格式和画质选项。音视频转码支持多种格式一键转换。</source>
        <translation>簡單易用的螢幕錄影和影音批次轉碼工具，錄影支援全螢幕、區域和視窗錄製，並提供多種輸出格式和畫質選項。影音轉碼支援多種格式一鍵轉換。</translation>
    </message>
    <message>
        <source>邮箱：support@vexlo.example
客服：service@vexlo.example（工作日 9:00-18:00）</source>
        <translation>信箱：support@vexlo.example
客服：service@vexlo.example（工作日 9:00-18:00）</translation>
    </message>
    <message>
        <source>&lt;a href=&quot;mailto:support@vexlo.example&quot;&gt;反馈问题&lt;/a&gt;</source>
        <translation>&lt;a href=&quot;mailto:support@vexlo.example&quot;&gt;回報問題&lt;/a&gt;</translation>
    </message>
    <message>
        <source>&lt;a href=&quot;https://vexlo.example&quot;&gt;访问官网&lt;/a&gt;</source>
        <translation>&lt;a href=&quot;https://vexlo.example&quot;&gt;造訪官網&lt;/a&gt;</translation>
    </message>
    <message>
        <source>© 2026 Vexlo 保留所有权利</source>
        <translation>© 2026 Vexlo 保留所有權利</translation>
    </message>
    <message>
        <source>&lt;b&gt;版本:&lt;/b&gt; %1</source>
        <translation>&lt;b&gt;版本:&lt;/b&gt; %1</translation>
    </message>
    <message>
        <source>使用的库及其许可证：</source>
        <translation>使用的函式庫及其授權：</translation>
    </message>
    <message>
        <source>关于 Qt</source>
        <translation>關於 Qt</translation>
    </message>
    <message>
        <source>许可证：GNU GPL 3.0 或更高版本</source>
        <translation>授權條款：GNU GPL 3.0 或更新版本</translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>用法：%1 [选项]</source>
        <translation>用法：%1 [選項]</translation>
    </message>
    <message>
        <source>录制屏幕，批量转换音视频文件。</source>
        <translation>錄製螢幕，批次轉換影音檔案。</translation>
    </message>
    <message>
        <source>选项：</source>
        <translation>選項：</translation>
    </message>
    <message>
        <source>显示此帮助并退出。</source>
        <translation>顯示此說明並結束。</translation>
    </message>
    <message>
        <source>显示版本并退出。</source>
        <translation>顯示版本並結束。</translation>
    </message>
    <message>
        <source>也接受 Qt 的标准选项，例如 -platform、-display、-style、-name 和 -session。</source>
        <translation>也接受 Qt 的標準選項，例如 -platform、-display、-style、-name 和 -session。</translation>
    </message>
    <message>
        <source>未知选项：%1</source>
        <translation>未知選項：%1</translation>
    </message>
    <message>
        <source>选项缺少值：%1</source>
        <translation>選項缺少值：%1</translation>
    </message>
    <message>
        <source>多余的参数：%1</source>
        <translation>多餘的參數：%1</translation>
    </message>
    <message>
        <source>发给正在运行的 Vexlo 的命令（没有则 --start 先启动一个）：</source>
        <translation>發給正在執行的 Vexlo 的命令（沒有則 --start 先啟動一個）：</translation>
    </message>
    <message>
        <source>开始录制（设有倒计时则先倒计时），打印文件路径。</source>
        <translation>開始錄製（設有倒數計時則先倒數），列印檔案路徑。</translation>
    </message>
    <message>
        <source>与 --start 一起：录制这么多秒后自动停止。</source>
        <translation>與 --start 一起：錄製這麼多秒後自動停止。</translation>
    </message>
    <message>
        <source>停止录制（或取消倒计时），文件写完后打印其路径。</source>
        <translation>停止錄製（或取消倒數計時），檔案寫完後列印其路徑。</translation>
    </message>
    <message>
        <source>暂停录制。</source>
        <translation>暫停錄製。</translation>
    </message>
    <message>
        <source>继续录制。</source>
        <translation>繼續錄製。</translation>
    </message>
    <message>
        <source>空闲时开始录制，录制时停止。</source>
        <translation>閒置時開始錄製，錄製時停止。</translation>
    </message>
    <message>
        <source>打印一行状态：idle、countdown N、waiting、recording、paused 或 saving。</source>
        <translation>列印一行狀態：idle、countdown N、waiting、recording、paused 或 saving。</translation>
    </message>
    <message>
        <source>退出状态：0 成功；1 命令被拒绝（原因见标准错误）；2 用法错误；3 Vexlo 未在运行。</source>
        <translation>結束狀態：0 成功；1 命令被拒絕（原因見標準錯誤）；2 用法錯誤；3 Vexlo 未在執行。</translation>
    </message>
    <message>
        <source>一次只能给出一个命令：%1</source>
        <translation>一次只能給出一個命令：%1</translation>
    </message>
    <message>
        <source>--stop-after 只能与 --start 一起使用</source>
        <translation>--stop-after 只能與 --start 一起使用</translation>
    </message>
    <message>
        <source>--stop-after 需要一个正整数（秒）：%1</source>
        <translation>--stop-after 需要一個正整數（秒）：%1</translation>
    </message>
    <message>
        <source>Vexlo 未在运行</source>
        <translation>Vexlo 未在執行</translation>
    </message>
    <message>
        <source>Vexlo 未能在 10 秒内启动</source>
        <translation>Vexlo 未能在 10 秒內啟動</translation>
    </message>
    <message>
        <source>与 Vexlo 的连接已断开</source>
        <translation>與 Vexlo 的連線已中斷</translation>
    </message>
    <message>
        <source>Vexlo 没有回答</source>
        <translation>Vexlo 沒有回應</translation>
    </message>
</context>
<context>
    <name>ConversionRunner</name>
    <message>
        <source>不支持的文件类型</source>
        <translation>不支援的檔案類型</translation>
    </message>
    <message>
        <source>无法启动FFmpeg进程</source>
        <translation>無法啟動 FFmpeg 處理程序</translation>
    </message>
    <message>
        <source>ffmpeg 意外终止</source>
        <translation>ffmpeg 意外終止</translation>
    </message>
    <message>
        <source>ffmpeg 退出代码 %1</source>
        <translation>ffmpeg 結束代碼 %1</translation>
    </message>
</context>
<context>
    <name>HistoryPage</name>
    <message>
        <source>文件名</source>
        <translation>檔名</translation>
    </message>
    <message>
        <source>大小</source>
        <translation>大小</translation>
    </message>
    <message>
        <source>日期</source>
        <translation>日期</translation>
    </message>
    <message>
        <source>时长</source>
        <translation>時長</translation>
    </message>
    <message>
        <source>格式</source>
        <translation>格式</translation>
    </message>
    <message>
        <source>操作</source>
        <translation>操作</translation>
    </message>
    <message>
        <source>还没有录制文件</source>
        <translation>還沒有錄製檔案</translation>
    </message>
    <message>
        <source>更多操作</source>
        <translation>更多操作</translation>
    </message>
    <message>
        <source>播放</source>
        <translation>播放</translation>
    </message>
    <message>
        <source>打开位置</source>
        <translation>開啟位置</translation>
    </message>
    <message>
        <source>删除</source>
        <translation>刪除</translation>
    </message>
    <message>
        <source>删除所有</source>
        <translation>刪除所有</translation>
    </message>
    <message>
        <source>删除文件</source>
        <translation>刪除檔案</translation>
    </message>
    <message>
        <source>确定要删除这个录制文件吗？</source>
        <translation>確定要刪除這個錄製檔案嗎？</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>警告</translation>
    </message>
    <message>
        <source>这个文件正在录制，无法删除：%1</source>
        <translation>這個檔案正在錄製，無法刪除：%1</translation>
    </message>
    <message>
        <source>无法删除文件 %1：%2</source>
        <translation>無法刪除檔案 %1：%2</translation>
    </message>
    <message>
        <source>文件已不存在：%1</source>
        <translation>檔案已不存在：%1</translation>
    </message>
    <message>
        <source>清空所有</source>
        <translation>清空所有</translation>
    </message>
    <message>
        <source>确定要删除所有录制文件并清空列表吗？</source>
        <translation>確定要刪除所有錄製檔案並清空列表嗎？</translation>
    </message>
    <message>
        <source>正在录制</source>
        <translation>正在錄製</translation>
    </message>
    <message>
        <source>正在删除文件...</source>
        <translation>正在刪除檔案...</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>取消</translation>
    </message>
    <message numerus="yes">
        <source>%n 个文件未能删除：</source>
        <translation>
            <numerusform>%n 個檔案未能刪除：</numerusform>
        </translation>
    </message>
    <message>
        <source>剪辑…</source>
        <translation>剪輯…</translation>
    </message>
    <message>
        <source>复制文件</source>
        <translation>複製檔案</translation>
    </message>
</context>
<context>
    <name>InputList</name>
    <message>
        <source>移除</source>
        <translation>移除</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>Vexlo</source>
        <translation>Vexlo</translation>
    </message>
    <message>
        <source>录制屏幕</source>
        <translation>錄製螢幕</translation>
    </message>
    <message>
        <source>录制</source>
        <translation>錄製</translation>
    </message>
    <message>
        <source>历史存档</source>
        <translation>歷史存檔</translation>
    </message>
    <message>
        <source>存档</source>
        <translation>存檔</translation>
    </message>
    <message>
        <source>音视频转码</source>
        <translation>影音轉碼</translation>
    </message>
    <message>
        <source>转换</source>
        <translation>轉換</translation>
    </message>
    <message>
        <source>高级配置</source>
        <translation>進階設定</translation>
    </message>
    <message>
        <source>高级</source>
        <translation>進階</translation>
    </message>
    <message>
        <source>菜单</source>
        <translation>選單</translation>
    </message>
    <message>
        <source>切换主题</source>
        <translation>切換主題</translation>
    </message>
    <message>
        <source>最小化</source>
        <translation>最小化</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>關閉</translation>
    </message>
    <message>
        <source>敬请期待</source>
        <translation>敬請期待</translation>
    </message>
    <message>
        <source>简体中文</source>
        <translation>简体中文</translation>
    </message>
    <message>
        <source>繁體中文</source>
        <translation>繁體中文</translation>
    </message>
    <message>
        <source>English</source>
        <translation>English</translation>
    </message>
    <message>
        <source>关于我们</source>
        <translation>關於我們</translation>
    </message>
    <message>
        <source>录制存档</source>
        <translation>錄製存檔</translation>
    </message>
    <message>
        <source>音视频转换</source>
        <translation>影音轉換</translation>
    </message>
    <message>
        <source>退出确认</source>
        <translation>結束確認</translation>
    </message>
    <message>
        <source>确定要退出程序吗？</source>
        <translation>確定要結束程式嗎？</translation>
    </message>
    <message>
        <source>录制已开始</source>
        <translation>錄製已開始</translation>
    </message>
    <message>
        <source>Vexlo 正在后台录制</source>
        <translation>Vexlo 正在背景錄製</translation>
    </message>
    <message>
        <source>程序已最小化到托盘</source>
        <translation>程式已最小化到系統匣</translation>
    </message>
    <message>
        <source>声音</source>
        <translation>聲音</translation>
    </message>
</context>
<context>
    <name>MediaConverter</name>
    <message>
        <source>添加</source>
        <translation>新增</translation>
    </message>
    <message>
        <source>清空</source>
        <translation>清空</translation>
    </message>
    <message>
        <source>一键转换</source>
        <translation>一鍵轉換</translation>
    </message>
    <message>
        <source>音频设置</source>
        <translation>音訊設定</translation>
    </message>
    <message>
        <source>输出格式:</source>
        <translation>輸出格式:</translation>
    </message>
    <message>
        <source>比特率:</source>
        <translation>位元率:</translation>
    </message>
    <message>
        <source>音频输出</source>
        <translation>音訊輸出</translation>
    </message>
    <message>
        <source>选择</source>
        <translation>選擇</translation>
    </message>
    <message>
        <source>视频设置</source>
        <translation>影片設定</translation>
    </message>
    <message>
        <source>质量设置:</source>
        <translation>品質設定:</translation>
    </message>
    <message>
        <source>视频输出</source>
        <translation>影片輸出</translation>
    </message>
    <message>
        <source>高质量</source>
        <translation>高品質</translation>
    </message>
    <message>
        <source>中等质量</source>
        <translation>中等品質</translation>
    </message>
    <message>
        <source>低质量</source>
        <translation>低品質</translation>
    </message>
    <message>
        <source>320k</source>
        <translation>320k</translation>
    </message>
    <message>
        <source>128k</source>
        <translation>128k</translation>
    </message>
    <message>
        <source>选择媒体文件</source>
        <translation>選擇媒體檔案</translation>
    </message>
    <message>
        <source>选择音频输出目录</source>
        <translation>選擇音訊輸出目錄</translation>
    </message>
    <message>
        <source>选择视频输出目录</source>
        <translation>選擇影片輸出目錄</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>警告</translation>
    </message>
    <message>
        <source>请先添加要转换的媒体文件</source>
        <translation>請先新增要轉換的媒體檔案</translation>
    </message>
    <message>
        <source>信息</source>
        <translation>資訊</translation>
    </message>
    <message>
        <source>转换正在进行中</source>
        <translation>轉換正在進行中</translation>
    </message>
    <message>
        <source>未找到 ffmpeg 程序，请先安装 ffmpeg。</source>
        <translation>未找到 ffmpeg 程式，請先安裝 ffmpeg。</translation>
    </message>
    <message>
        <source>正在转换媒体文件...</source>
        <translation>正在轉換媒體檔案...</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>正在转换 (%1/%2): %3</source>
        <translation>正在轉換 (%1/%2): %3</translation>
    </message>
    <message>
        <source>不支持的文件类型: </source>
        <translation>不支援的檔案類型: </translation>
    </message>
    <message>
        <source>完成</source>
        <translation>完成</translation>
    </message>
    <message>
        <source>所有媒体文件转换完成</source>
        <translation>所有媒體檔案轉換完成</translation>
    </message>
    <message>
        <source>%1 个文件未能转换：</source>
        <translation>%1 個檔案未能轉換：</translation>
    </message>
    <message>
        <source>另有 %1 个，见详细信息。</source>
        <translation>另有 %1 個，見詳細資訊。</translation>
    </message>
    <message>
        <source>（未完成的输出已删除）</source>
        <translation>（未完成的輸出已刪除）</translation>
    </message>
    <message>
        <source>输出只有 %1，输入为 %2</source>
        <translation>輸出只有 %1，輸入為 %2</translation>
    </message>
    <message>
        <source>%1 个文件已转换，但有警告：</source>
        <translation>%1 個檔案已轉換，但有警告：</translation>
    </message>
    <message>
        <source>媒体文件 (*.mp3 *.wav *.aac *.flac *.ogg *.wma *.m4a *.opus *.mp4 *.avi *.mov *.mkv *.flv *.wmv *.webm *.ts *.m4v)</source>
        <translation>媒體檔案 (*.mp3 *.wav *.aac *.flac *.ogg *.wma *.m4a *.opus *.mp4 *.avi *.mov *.mkv *.flv *.wmv *.webm *.ts *.m4v)</translation>
    </message>
    <message>
        <source>打开输出文件夹</source>
        <translation>開啟輸出資料夾</translation>
    </message>
    <message>
        <source>GIF 动图</source>
        <translation>GIF 動畫</translation>
    </message>
</context>
<context>
    <name>RecordingPage</name>
    <message>
        <source>开始</source>
        <translation>開始</translation>
    </message>
    <message>
        <source>暂停</source>
        <translation>暫停</translation>
    </message>
    <message>
        <source>00:00:00</source>
        <translation>00:00:00</translation>
    </message>
    <message>
        <source>全屏</source>
        <translation>全螢幕</translation>
    </message>
    <message>
        <source>窗口</source>
        <translation>視窗</translation>
    </message>
    <message>
        <source>区域</source>
        <translation>區域</translation>
    </message>
    <message>
        <source>超清</source>
        <translation>超高畫質</translation>
    </message>
    <message>
        <source>高清</source>
        <translation>高畫質</translation>
    </message>
    <message>
        <source>标清</source>
        <translation>標準畫質</translation>
    </message>
    <message>
        <source>麦克风</source>
        <translation>麥克風</translation>
    </message>
    <message>
        <source>系统音频</source>
        <translation>系統音訊</translation>
    </message>
    <message>
        <source>错误</source>
        <translation>錯誤</translation>
    </message>
    <message>
        <source>请先选择有效的录制区域</source>
        <translation>請先選擇有效的錄製區域</translation>
    </message>
    <message>
        <source>请先选择有效的窗口</source>
        <translation>請先選擇有效的視窗</translation>
    </message>
    <message>
        <source>无法开始录制</source>
        <translation>無法開始錄製</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>停止</translation>
    </message>
    <message>
        <source>保存中…</source>
        <translation>儲存中…</translation>
    </message>
    <message>
        <source>已录制的内容保存在：%1</source>
        <translation>已錄製的內容儲存在：%1</translation>
    </message>
    <message>
        <source>录制已停止</source>
        <translation>錄製已停止</translation>
    </message>
    <message>
        <source>继续</source>
        <translation>繼續</translation>
    </message>
    <message>
        <source>暂停/恢复录制时发生错误</source>
        <translation>暫停/恢復錄製時發生錯誤</translation>
    </message>
    <message>
        <source>开始录制后显示预览</source>
        <translation>開始錄製後顯示預覽</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>等待桌面的屏幕共享对话框…</source>
        <translation>等待桌面的螢幕分享對話框…</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>警告</translation>
    </message>
    <message>
        <source>所选屏幕未连接，已改为录制主屏幕</source>
        <translation>所選螢幕未連接，已改為錄製主螢幕</translation>
    </message>
    <message>
        <source>倒计时已取消</source>
        <translation>倒數計時已取消</translation>
    </message>
    <message>
        <source>剩余 %1</source>
        <translation>剩餘 %1</translation>
    </message>
    <message>
        <source>桌面的屏幕共享对话框已取消</source>
        <translation>桌面的螢幕分享對話框已取消</translation>
    </message>
</context>
<context>
    <name>RegionSelector</name>
    <message>
        <source>确认</source>
        <translation>確認</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>拖动鼠标选择区域
按ESC取消</source>
        <translation>拖曳滑鼠選擇區域
按ESC取消</translation>
    </message>
</context>
<context>
    <name>RemoteControl</name>
    <message>
        <source>未知命令：%1</source>
        <translation>未知命令：%1</translation>
    </message>
    <message>
        <source>录制正要开始</source>
        <translation>錄製即將開始</translation>
    </message>
    <message>
        <source>上一个录制还在保存</source>
        <translation>上一個錄製還在儲存</translation>
    </message>
    <message>
        <source>已经在录制</source>
        <translation>已經在錄製</translation>
    </message>
    <message>
        <source>无法开始录制</source>
        <translation>無法開始錄製</translation>
    </message>
    <message>
        <source>没有正在进行的录制</source>
        <translation>沒有正在進行的錄製</translation>
    </message>
    <message>
        <source>录制已经暂停</source>
        <translation>錄製已經暫停</translation>
    </message>
    <message>
        <source>录制没有暂停</source>
        <translation>錄製沒有暫停</translation>
    </message>
    <message>
        <source>无法暂停录制</source>
        <translation>無法暫停錄製</translation>
    </message>
    <message>
        <source>无法继续录制</source>
        <translation>無法繼續錄製</translation>
    </message>
</context>
<context>
    <name>ScheduleOptions</name>
    <message>
        <source>定时</source>
        <translation>定時</translation>
    </message>
    <message>
        <source>倒计时</source>
        <translation>倒數計時</translation>
    </message>
    <message>
        <source>无</source>
        <translation>無</translation>
    </message>
    <message>
        <source>%1 秒</source>
        <translation>%1 秒</translation>
    </message>
    <message>
        <source>定时停止</source>
        <translation>定時停止</translation>
    </message>
</context>
<context>
    <name>ScreenChoice</name>
    <message>
        <source>屏幕</source>
        <translation>螢幕</translation>
    </message>
    <message>
        <source>%1 (%2×%3，主屏幕)</source>
        <translation>%1 (%2×%3，主螢幕)</translation>
    </message>
    <message>
        <source>%1 (%2×%3)</source>
        <translation>%1 (%2×%3)</translation>
    </message>
    <message>
        <source>所有屏幕</source>
        <translation>所有螢幕</translation>
    </message>
</context>
<context>
    <name>ScreenRecorder</name>
    <message>
        <source>捕获帧时发生错误: %1</source>
        <translation>擷取影格時發生錯誤: %1</translation>
    </message>
    <message>
        <source>无法初始化FFmpeg</source>
        <translation>無法初始化FFmpeg</translation>
    </message>
    <message>
        <source>写入视频文件失败，录制已停止: %1</source>
        <translation>寫入影片檔案失敗，錄製已停止: %1</translation>
    </message>
    <message>
        <source>无法创建输出格式上下文</source>
        <translation>無法建立輸出格式上下文</translation>
    </message>
    <message>
        <source>无法创建视频流</source>
        <translation>無法建立影片串流</translation>
    </message>
    <message>
        <source>无法找到视频编码器</source>
        <translation>無法找到影片編碼器</translation>
    </message>
    <message>
        <source>无法分配视频编码器上下文</source>
        <translation>無法分配影片編碼器上下文</translation>
    </message>
    <message>
        <source>无法打开视频编码器</source>
        <translation>無法開啟影片編碼器</translation>
    </message>
    <message>
        <source>无法复制视频编码器参数</source>
        <translation>無法複製影片編碼器參數</translation>
    </message>
    <message>
        <source>无法分配视频帧</source>
        <translation>無法分配影格</translation>
    </message>
    <message>
        <source>无法分配视频帧缓冲区</source>
        <translation>無法分配影格緩衝區</translation>
    </message>
    <message>
        <source>无法打开输出文件</source>
        <translation>無法開啟輸出檔案</translation>
    </message>
    <message>
        <source>无法写入文件头: %1</source>
        <translation>無法寫入檔案標頭: %1</translation>
    </message>
    <message>
        <source>输出文件夹不是本地的绝对路径: %1</source>
        <translation>輸出資料夾不是本機的絕對路徑: %1</translation>
    </message>
    <message>
        <source>无法创建输出文件夹 %1: %2</source>
        <translation>無法建立輸出資料夾 %1: %2</translation>
    </message>
    <message>
        <source>输出文件夹所在磁盘只剩 %1 MiB 可用空间，开始录制至少需要 %2 MiB</source>
        <translation>輸出資料夾所在磁碟只剩 %1 MiB 可用空間，開始錄製至少需要 %2 MiB</translation>
    </message>
    <message>
        <source>输出文件或其文件夹已被删除或移走，录制已停止</source>
        <translation>輸出檔案或其資料夾已被刪除或移走，錄製已停止</translation>
    </message>
    <message>
        <source>输出文件夹所在磁盘只剩 %1 MiB 可用空间，录制已停止</source>
        <translation>輸出資料夾所在磁碟只剩 %1 MiB 可用空間，錄製已停止</translation>
    </message>
    <message>
        <source>无法初始化FFmpeg: %1</source>
        <translation>無法初始化FFmpeg: %1</translation>
    </message>
    <message>
        <source>写入视频文件失败（%1），录制已停止</source>
        <translation>寫入影片檔案失敗（%1），錄製已停止</translation>
    </message>
    <message>
        <source>没有可用的声音服务器</source>
        <translation>沒有可用的聲音伺服器</translation>
    </message>
    <message>
        <source>没有默认输入设备</source>
        <translation>沒有預設輸入裝置</translation>
    </message>
    <message>
        <source>没有默认输出设备</source>
        <translation>沒有預設輸出裝置</translation>
    </message>
    <message>
        <source>声音服务器拒绝录制: %1</source>
        <translation>聲音伺服器拒絕錄製: %1</translation>
    </message>
    <message>
        <source>无法录制麦克风（%1），本次录制不含麦克风声音。</source>
        <translation>無法錄製麥克風（%1），本次錄製不含麥克風聲音。</translation>
    </message>
    <message>
        <source>无法录制系统音频（%1），本次录制不含系统音频。</source>
        <translation>無法錄製系統音訊（%1），本次錄製不含系統音訊。</translation>
    </message>
    <message>
        <source>录制到 %1 时失去了麦克风，之后的部分没有麦克风声音。</source>
        <translation>錄製到 %1 時失去了麥克風，之後的部分沒有麥克風聲音。</translation>
    </message>
    <message>
        <source>录制到 %1 时失去了系统音频，之后的部分没有系统音频。</source>
        <translation>錄製到 %1 時失去了系統音訊，之後的部分沒有系統音訊。</translation>
    </message>
    <message>
        <source>无法找到音频编码器</source>
        <translation>無法找到音訊編碼器</translation>
    </message>
    <message>
        <source>无法创建音频流</source>
        <translation>無法建立音訊串流</translation>
    </message>
    <message>
        <source>无法打开音频编码器</source>
        <translation>無法開啟音訊編碼器</translation>
    </message>
    <message>
        <source>屏幕共享已被桌面结束</source>
        <translation>螢幕分享已被桌面結束</translation>
    </message>
    <message>
        <source>正在录制的屏幕已断开</source>
        <translation>正在錄製的螢幕已中斷連接</translation>
    </message>
</context>
<context>
    <name>SessionNotice</name>
    <message>
        <source>Wayland 会话</source>
        <translation>Wayland 工作階段</translation>
    </message>
    <message>
        <source>当前桌面是 Wayland 会话。Vexlo 通过 X11 兼容服务运行，只能看到 X11 程序的窗口：全屏和区域录制中，这些窗口以外的部分都是黑色，窗口录制也只能选择 X11 程序的窗口。
要录制整个桌面，请注销后选择 X11（Xorg）会话登录。</source>
        <translation>目前桌面是 Wayland 工作階段。Vexlo 透過 X11 相容服務執行，只能看到 X11 程式的視窗：全螢幕和區域錄製中，這些視窗以外的部分都是黑色，視窗錄製也只能選擇 X11 程式的視窗。
要錄製整個桌面，請登出後選擇 X11（Xorg）工作階段登入。</translation>
    </message>
    <message>
        <source>不再显示</source>
        <translation>不再顯示</translation>
    </message>
    <message>
        <source>• 无法高亮鼠标点击。</source>
        <translation>• 無法醒目提示滑鼠點擊。</translation>
    </message>
    <message>
        <source>• 桌面不提供窗口共享：窗口录制只能选择 X11 程序的窗口。</source>
        <translation>• 桌面不提供視窗分享：視窗錄製只能選擇 X11 程式的視窗。</translation>
    </message>
    <message>
        <source>当前桌面是 Wayland 会话，录制通过桌面的屏幕共享进行。与 X11 会话相比，仍有以下不同：</source>
        <translation>目前桌面是 Wayland 工作階段，錄製透過桌面的螢幕分享進行。與 X11 工作階段相比，仍有以下不同：</translation>
    </message>
</context>
<context>
    <name>SettingsPage</name>
    <message>
        <source>录制配置</source>
        <translation>錄製設定</translation>
    </message>
    <message>
        <source>麦克风/扬声器</source>
        <translation>麥克風/喇叭</translation>
    </message>
    <message>
        <source>录制麦克风</source>
        <translation>錄製麥克風</translation>
    </message>
    <message>
        <source>录制系统音频</source>
        <translation>錄製系統音訊</translation>
    </message>
    <message>
        <source>视频</source>
        <translation>影片</translation>
    </message>
    <message>
        <source>帧率</source>
        <translation>影格率</translation>
    </message>
    <message>
        <source>30 FPS</source>
        <translation>30 FPS</translation>
    </message>
    <message>
        <source>60FPS</source>
        <translation>60FPS</translation>
    </message>
    <message>
        <source>画质</source>
        <translation>畫質</translation>
    </message>
    <message>
        <source>超清</source>
        <translation>超高畫質</translation>
    </message>
    <message>
        <source>高清</source>
        <translation>高畫質</translation>
    </message>
    <message>
        <source>标清</source>
        <translation>標準畫質</translation>
    </message>
    <message>
        <source>格式</source>
        <translation>格式</translation>
    </message>
    <message>
        <source>鼠标指针</source>
        <translation>滑鼠指標</translation>
    </message>
    <message>
        <source>捕获鼠标指针</source>
        <translation>擷取滑鼠指標</translation>
    </message>
    <message>
        <source>启用点击高亮</source>
        <translation>啟用點擊高亮顯示</translation>
    </message>
    <message>
        <source>默认</source>
        <translation>預設</translation>
    </message>
    <message>
        <source>手型</source>
        <translation>手型</translation>
    </message>
    <message>
        <source>十字</source>
        <translation>十字</translation>
    </message>
    <message>
        <source>鼠标指针大小</source>
        <translation>滑鼠指標大小</translation>
    </message>
    <message>
        <source>水印配置</source>
        <translation>浮水印設定</translation>
    </message>
    <message>
        <source>文字水印</source>
        <translation>文字浮水印</translation>
    </message>
    <message>
        <source>启用文字水印</source>
        <translation>啟用文字浮水印</translation>
    </message>
    <message>
        <source>水印文字</source>
        <translation>浮水印文字</translation>
    </message>
    <message>
        <source>输入水印文字</source>
        <translation>輸入浮水印文字</translation>
    </message>
    <message>
        <source>水印位置</source>
        <translation>浮水印位置</translation>
    </message>
    <message>
        <source>右下角</source>
        <translation>右下角</translation>
    </message>
    <message>
        <source>左下角</source>
        <translation>左下角</translation>
    </message>
    <message>
        <source>右上角</source>
        <translation>右上角</translation>
    </message>
    <message>
        <source>左上角</source>
        <translation>左上角</translation>
    </message>
    <message>
        <source>居中</source>
        <translation>置中</translation>
    </message>
    <message>
        <source>水印大小</source>
        <translation>浮水印大小</translation>
    </message>
    <message>
        <source>超级小(12)</source>
        <translation>超級小(12)</translation>
    </message>
    <message>
        <source>极小 (18)</source>
        <translation>極小 (18)</translation>
    </message>
    <message>
        <source>小 (24)</source>
        <translation>小 (24)</translation>
    </message>
    <message>
        <source>中 (32)</source>
        <translation>中 (32)</translation>
    </message>
    <message>
        <source>大 (42)</source>
        <translation>大 (42)</translation>
    </message>
    <message>
        <source>极大(72)</source>
        <translation>極大(72)</translation>
    </message>
    <message>
        <source>超大(120)</source>
        <translation>超大(120)</translation>
    </message>
    <message>
        <source>超级大(240)</source>
        <translation>超級大(240)</translation>
    </message>
    <message>
        <source>水印颜色</source>
        <translation>浮水印顏色</translation>
    </message>
    <message>
        <source>选择颜色</source>
        <translation>選擇顏色</translation>
    </message>
    <message>
        <source>图片水印</source>
        <translation>圖片浮水印</translation>
    </message>
    <message>
        <source>启用图片水印</source>
        <translation>啟用圖片浮水印</translation>
    </message>
    <message>
        <source>图片水印透明度</source>
        <translation>圖片浮水印透明度</translation>
    </message>
    <message>
        <source>图片水印大小</source>
        <translation>圖片浮水印大小</translation>
    </message>
    <message>
        <source>图片水印路径</source>
        <translation>圖片浮水印路徑</translation>
    </message>
    <message>
        <source>选择图片</source>
        <translation>選擇圖片</translation>
    </message>
    <message>
        <source>快捷键</source>
        <translation>快捷鍵</translation>
    </message>
    <message>
        <source>开始录制/停止录制</source>
        <translation>開始錄製/停止錄製</translation>
    </message>
    <message>
        <source>暂停录制/继续录制</source>
        <translation>暫停錄製/繼續錄製</translation>
    </message>
    <message>
        <source>全局快捷键（程序在后台时也有效）</source>
        <translation>全域快捷鍵（程式在背景時也有效）</translation>
    </message>
    <message>
        <source>保存配置</source>
        <translation>儲存設定</translation>
    </message>
    <message>
        <source>高级配置</source>
        <translation>進階設定</translation>
    </message>
    <message>
        <source>开机启动</source>
        <translation>開機啟動</translation>
    </message>
    <message>
        <source>启用开机自启动</source>
        <translation>啟用開機自動啟動</translation>
    </message>
    <message>
        <source>录制最小化</source>
        <translation>錄製最小化</translation>
    </message>
    <message>
        <source>录制后最小化到任务栏</source>
        <translation>錄製後最小化到工作列</translation>
    </message>
    <message>
        <source>录制后最小化到状态栏</source>
        <translation>錄製後最小化到狀態列</translation>
    </message>
    <message>
        <source>输出位置</source>
        <translation>輸出位置</translation>
    </message>
    <message>
        <source>更改...</source>
        <translation>更改...</translation>
    </message>
    <message>
        <source>默认配置</source>
        <translation>預設設定</translation>
    </message>
    <message>
        <source>恢复默认配置</source>
        <translation>還原預設設定</translation>
    </message>
    <message>
        <source>重置确认</source>
        <translation>重設確認</translation>
    </message>
    <message>
        <source>确定要将所有设置恢复为默认值吗？此操作无法撤销。</source>
        <translation>確定要將所有設定還原為預設值嗎？此操作無法復原。</translation>
    </message>
    <message>
        <source>重置成功</source>
        <translation>重設成功</translation>
    </message>
    <message>
        <source>所有设置已恢复为默认值。</source>
        <translation>所有設定已還原為預設值。</translation>
    </message>
    <message>
        <source>Wayland 桌面不向程序报告鼠标点击，无法高亮点击</source>
        <translation>Wayland 桌面不向程式回報滑鼠點擊，無法醒目提示點擊</translation>
    </message>
    <message>
        <source>选择输出目录</source>
        <translation>選擇輸出目錄</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>警告</translation>
    </message>
    <message>
        <source>输出目录必须是本机上的文件夹：
%1</source>
        <translation>輸出目錄必須是本機上的資料夾：
%1</translation>
    </message>
    <message>
        <source>选择水印颜色</source>
        <translation>選擇浮水印顏色</translation>
    </message>
    <message>
        <source>选择水印图片</source>
        <translation>選擇浮水印圖片</translation>
    </message>
    <message>
        <source>Images (*.png *.jpg *.jpeg *.bmp)</source>
        <translation>圖片 (*.png *.jpg *.jpeg *.bmp)</translation>
    </message>
    <message>
        <source>桌面没有提供全局快捷键服务</source>
        <translation>桌面沒有提供全域快捷鍵服務</translation>
    </message>
    <message>
        <source>冲突</source>
        <translation>衝突</translation>
    </message>
    <message>
        <source>不能使用与暂停相同的快捷键</source>
        <translation>不能使用與暫停相同的快捷鍵</translation>
    </message>
    <message>
        <source>错误</source>
        <translation>錯誤</translation>
    </message>
    <message>
        <source>快捷键不能为空</source>
        <translation>快捷鍵不能為空</translation>
    </message>
    <message>
        <source>不能使用与录制相同的快捷键</source>
        <translation>不能使用與錄製相同的快捷鍵</translation>
    </message>
    <message>
        <source>录制和暂停快捷键不能相同</source>
        <translation>錄製和暫停快捷鍵不能相同</translation>
    </message>
    <message>
        <source>保存成功</source>
        <translation>儲存成功</translation>
    </message>
    <message>
        <source>快捷键设置已保存</source>
        <translation>快捷鍵設定已儲存</translation>
    </message>
</context>
<context>
    <name>ShortcutController</name>
    <message>
        <source>错误</source>
        <translation>錯誤</translation>
    </message>
    <message>
        <source>无法设置全局快捷键：%1</source>
        <translation>無法設定全域快捷鍵：%1</translation>
    </message>
    <message>
        <source>开始录制/停止录制</source>
        <translation>開始錄製/停止錄製</translation>
    </message>
    <message>
        <source>暂停录制/继续录制</source>
        <translation>暫停錄製/繼續錄製</translation>
    </message>
    <message>
        <source>冲突</source>
        <translation>衝突</translation>
    </message>
    <message>
        <source>快捷键 %1 已被其他程序占用</source>
        <translation>快捷鍵 %1 已被其他程式佔用</translation>
    </message>
</context>
<context>
    <name>TrayIcon</name>
    <message>
        <source>恢复窗口</source>
        <translation>還原視窗</translation>
    </message>
    <message>
        <source>退出</source>
        <translation>結束</translation>
    </message>
    <message>
        <source>停止录制</source>
        <translation>停止錄製</translation>
    </message>
    <message>
        <source>开始录制</source>
        <translation>開始錄製</translation>
    </message>
    <message>
        <source>继续录制</source>
        <translation>繼續錄製</translation>
    </message>
    <message>
        <source>暂停录制</source>
        <translation>暫停錄製</translation>
    </message>
    <message>
        <source>Vexlo - 录制中 %1</source>
        <translation>Vexlo - 錄製中 %1</translation>
    </message>
    <message>
        <source>Vexlo</source>
        <translation>Vexlo</translation>
    </message>
</context>
<context>
    <name>TrimDialog</name>
    <message>
        <source>无法读取这个录制文件：%1</source>
        <translation>無法讀取這個錄製檔案：%1</translation>
    </message>
    <message>
        <source>剪辑</source>
        <translation>剪輯</translation>
    </message>
    <message>
        <source>位置</source>
        <translation>位置</translation>
    </message>
    <message>
        <source>起点</source>
        <translation>起點</translation>
    </message>
    <message>
        <source>终点</source>
        <translation>終點</translation>
    </message>
    <message>
        <source>GIF 宽度</source>
        <translation>GIF 寬度</translation>
    </message>
    <message>
        <source>GIF 帧率</source>
        <translation>GIF 影格率</translation>
    </message>
    <message>
        <source>保存视频</source>
        <translation>儲存影片</translation>
    </message>
    <message>
        <source>保存 GIF</source>
        <translation>儲存 GIF</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>關閉</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>原始尺寸</source>
        <translation>原始尺寸</translation>
    </message>
    <message>
        <source>起点必须在终点之前</source>
        <translation>起點必須在終點之前</translation>
    </message>
    <message>
        <source>终点必须在起点之后</source>
        <translation>終點必須在起點之後</translation>
    </message>
    <message>
        <source>无法识别的时间：%1（格式为 [时:]分:秒.毫秒）</source>
        <translation>無法辨識的時間：%1（格式為 [時:]分:秒.毫秒）</translation>
    </message>
    <message>
        <source>未找到 ffmpeg 程序，请先安装 ffmpeg。</source>
        <translation>找不到 ffmpeg 程式，請先安裝 ffmpeg。</translation>
    </message>
    <message>
        <source>正在保存 %1…</source>
        <translation>正在儲存 %1…</translation>
    </message>
    <message>
        <source>已取消，未保存任何文件</source>
        <translation>已取消，未儲存任何檔案</translation>
    </message>
    <message>
        <source>无法保存 %1：%2</source>
        <translation>無法儲存 %1：%2</translation>
    </message>
    <message>
        <source>已保存 %1</source>
        <translation>已儲存 %1</translation>
    </message>
</context>
<context>
    <name>WindowSelector</name>
    <message>
        <source>选择窗口</source>
        <translation>選擇視窗</translation>
    </message>
    <message>
        <source>未找到可用窗口</source>
        <translation>未找到可用視窗</translation>
    </message>
</context>
<context>
    <name>capture::PipeWireStream</name>
    <message>
        <source>PipeWire 视频流出错：%1</source>
        <translation>PipeWire 視訊串流出錯：%1</translation>
    </message>
    <message>
        <source>PipeWire 视频流已断开</source>
        <translation>PipeWire 視訊串流已中斷</translation>
    </message>
    <message>
        <source>无法连接 PipeWire（%1）</source>
        <translation>無法連線 PipeWire（%1）</translation>
    </message>
    <message>
        <source>与 PipeWire 的连接中断：%1</source>
        <translation>與 PipeWire 的連線中斷：%1</translation>
    </message>
</context>
<context>
    <name>capture::PortalSession</name>
    <message>
        <source>找不到桌面门户服务（xdg-desktop-portal），无法通过桌面录制屏幕</source>
        <translation>找不到桌面入口服務（xdg-desktop-portal），無法透過桌面錄製螢幕</translation>
    </message>
    <message>
        <source>桌面门户不提供屏幕录制接口（ScreenCast）</source>
        <translation>桌面入口不提供螢幕錄製介面（ScreenCast）</translation>
    </message>
    <message>
        <source>桌面的屏幕共享失败</source>
        <translation>桌面的螢幕分享失敗</translation>
    </message>
    <message>
        <source>无法连接 PipeWire：桌面没有交出屏幕共享的视频流</source>
        <translation>無法連線 PipeWire：桌面沒有交出螢幕分享的視訊串流</translation>
    </message>
</context>
<context>
    <name>capture::PortalSource</name>
    <message>
        <source>桌面的屏幕共享没有送来画面</source>
        <translation>桌面的螢幕分享沒有送來畫面</translation>
    </message>
    <message>
        <source>桌面的屏幕共享失败</source>
        <translation>桌面的螢幕分享失敗</translation>
    </message>
    <message>
        <source>所选区域不在桌面共享的屏幕上</source>
        <translation>所選區域不在桌面共享的螢幕上</translation>
    </message>
</context>
</TS>
