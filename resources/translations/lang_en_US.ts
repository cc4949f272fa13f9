<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="zh_CN">
<context>
    <name>AboutDialog</name>
    <message>
        <source>关于Vexlo</source>
        <translation>About Vexlo</translation>
    </message>
    <message>
        <source>简单易用的屏幕录制和音视频批量转码工具，录屏支持全屏、区域和窗口录制，并提供多种输出格式和画质选项。音视频转码支持多种格式一键转换。</source>
        <translation>A simple and easy-to-use screen recording and audio/video batch transcoding tool. Screen recording supports full screen, region, and window recording, with multiple output formats and quality options available. Audio and video transcoding enables one-click conversion for various formats.</translation>
    </message>
    <message>
        <source>邮箱：support@vexlo.example
客服：service@vexlo.example（工作日 9:00-18:00）</source>
        <translation>Email: support@vexlo.example
Customer service: service@vexlo.example (weekdays 9:00-18:00)</translation>
    </message>
    <message>
        <source>&lt;a href=&quot;mailto:support@vexlo.example&quot;&gt;反馈问题&lt;/a&gt;</source>
        <translation>&lt;a href=&quot;mailto:support@vexlo.example&quot;&gt;Report Issues&lt;/a&gt;</translation>
    </message>
    <message>
        <source>&lt;a href=&quot;https://vexlo.example&quot;&gt;访问官网&lt;/a&gt;</source>
        <translation>&lt;a href=&quot;https://vexlo.example&quot;&gt;Official website&lt;/a&gt;</translation>
    </message>
    <message>
        <source>© 2026 Vexlo 保留所有权利</source>
        <translation>© 2026 Vexlo. All rights reserved.</translation>
    </message>
    <message>
        <source>&lt;b&gt;版本:&lt;/b&gt; %1</source>
        <translation>&lt;b&gt;Version:&lt;/b&gt; %1</translation>
    </message>
    <message>
        <source>使用的库及其许可证：</source>
        <translation>Libraries used and their licences:</translation>
    </message>
    <message>
        <source>关于 Qt</source>
        <translation>About Qt</translation>
    </message>
    <message>
        <source>许可证：GNU GPL 3.0 或更高版本</source>
        <translation>Licence: GNU GPL 3.0 or later</translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>用法：%1 [选项]</source>
        <translation>Usage: %1 [options]</translation>
    </message>
    <message>
        <source>录制屏幕，批量转换音视频文件。</source>
        <translation>Records the screen and converts audio and video files in batches.</translation>
    </message>
    <message>
        <source>选项：</source>
        <translation>Options:</translation>
    </message>
    <message>
        <source>显示此帮助并退出。</source>
        <translation>Show this help and exit.</translation>
    </message>
    <message>
        <source>显示版本并退出。</source>
        <translation>Show the version and exit.</translation>
    </message>
    <message>
        <source>也接受 Qt 的标准选项，例如 -platform、-display、-style、-name 和 -session。</source>
        <translation>Qt&apos;s standard options are accepted too, such as -platform, -display, -style, -name and -session.</translation>
    </message>
    <message>
        <source>未知选项：%1</source>
        <translation>Unknown option: %1</translation>
    </message>
    <message>
        <source>选项缺少值：%1</source>
        <translation>Missing value for option: %1</translation>
    </message>
    <message>
        <source>多余的参数：%1</source>
        <translation>Unexpected argument: %1</translation>
    </message>
    <message>
        <source>发给正在运行的 Vexlo 的命令（没有则 --start 先启动一个）：</source>
        <translation>Commands for the running Vexlo (--start launches one if none runs):</translation>
    </message>
    <message>
        <source>开始录制（设有倒计时则先倒计时），打印文件路径。</source>
        <translation>Start recording (after the countdown, if one is set) and print the file&apos;s path.</translation>
    </message>
    <message>
        <source>与 --start 一起：录制这么多秒后自动停止。</source>
        <translation>With --start: stop by itself after this many seconds of recording.</translation>
    </message>
    <message>
        <source>停止录制（或取消倒计时），文件写完后打印其路径。</source>
        <translation>Stop recording (or cancel the countdown) and print the path once the file is complete.</translation>
    </message>
    <message>
        <source>暂停录制。</source>
        <translation>Pause the recording.</translation>
    </message>
    <message>
        <source>继续录制。</source>
        <translation>Resume the recording.</translation>
    </message>
    <message>
        <source>空闲时开始录制，录制时停止。</source>
        <translation>Start recording when idle, stop when recording.</translation>
    </message>
    <message>
        <source>打印一行状态：idle、countdown N、waiting、recording、paused 或 saving。</source>
        <translation>Print one line of state: idle, countdown N, waiting, recording, paused or saving.</translation>
    </message>
    <message>
        <source>退出状态：0 成功；1 命令被拒绝（原因见标准错误）；2 用法错误；3 Vexlo 未在运行。</source>
        <translation>Exit status: 0 success; 1 command refused (the reason is on standard error); 2 usage error; 3 Vexlo is not running.</translation>
    </message>
    <message>
        <source>一次只能给出一个命令：%1</source>
        <translation>Give only one command at a time: %1</translation>
    </message>
    <message>
        <source>--stop-after 只能与 --start 一起使用</source>
        <translation>--stop-after works only with --start</translation>
    </message>
    <message>
        <source>--stop-after 需要一个正整数（秒）：%1</source>
        <translation>--stop-after needs a positive whole number of seconds: %1</translation>
    </message>
    <message>
        <source>Vexlo 未在运行</source>
        <translation>Vexlo is not running</translation>
    </message>
    <message>
        <source>Vexlo 未能在 10 秒内启动</source>
        <translation>Vexlo did not start within 10 s</translation>
    </message>
    <message>
        <source>与 Vexlo 的连接已断开</source>
        <translation>The connection to Vexlo was lost</translation>
    </message>
    <message>
        <source>Vexlo 没有回答</source>
        <translation>Vexlo did not answer</translation>
    </message>
</context>
<context>
    <name>ConversionRunner</name>
    <message>
        <source>不支持的文件类型</source>
        <translation>Unsupported file type</translation>
    </message>
    <message>
        <source>无法启动FFmpeg进程</source>
        <translation>Could not start the FFmpeg process</translation>
    </message>
    <message>
        <source>ffmpeg 意外终止</source>
        <translation>ffmpeg ended unexpectedly</translation>
    </message>
    <message>
        <source>ffmpeg 退出代码 %1</source>
        <translation>ffmpeg exited with code %1</translation>
    </message>
</context>
<context>
    <name>HistoryPage</name>
    <message>
        <source>文件名</source>
        <translation>Filename</translation>
    </message>
    <message>
        <source>大小</source>
        <translation>Size</translation>
    </message>
    <message>
        <source>日期</source>
        <translation>Date</translation>
    </message>
    <message>
        <source>时长</source>
        <translation>Duration</translation>
    </message>
    <message>
        <source>格式</source>
        <translation>Format</translation>
    </message>
    <message>
        <source>操作</source>
        <translation>Action</translation>
    </message>
    <message>
        <source>还没有录制文件</source>
        <translation>No recordings yet</translation>
    </message>
    <message>
        <source>更多操作</source>
        <translation>More actions</translation>
    </message>
    <message>
        <source>播放</source>
        <translation>Play</translation>
    </message>
    <message>
        <source>打开位置</source>
        <translation>Open Location</translation>
    </message>
    <message>
        <source>删除</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>删除所有</source>
        <translation>Delete All</translation>
    </message>
    <message>
        <source>删除文件</source>
        <translation>Delete File</translation>
    </message>
    <message>
        <source>确定要删除这个录制文件吗？</source>
        <translation>Are you sure to delete this recording file?</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>这个文件正在录制，无法删除：%1</source>
        <translation>This file is being recorded and cannot be deleted: %1</translation>
    </message>
    <message>
        <source>无法删除文件 %1：%2</source>
        <translation>Cannot delete the file %1: %2</translation>
    </message>
    <message>
        <source>文件已不存在：%1</source>
        <translation>The file no longer exists: %1</translation>
    </message>
    <message>
        <source>清空所有</source>
        <translation>Clear All</translation>
    </message>
    <message>
        <source>确定要删除所有录制文件并清空列表吗？</source>
        <translation>Are you sure to delete all recording files and clear the list?</translation>
    </message>
    <message>
        <source>正在录制</source>
        <translation>being recorded</translation>
    </message>
    <message>
        <source>正在删除文件...</source>
        <translation>Deleting files...</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message numerus="yes">
        <source>%n 个文件未能删除：</source>
        <translation>
            <numerusform>%n file could not be deleted:</numerusform>
            <numerusform>%n files could not be deleted:</numerusform>
        </translation>
    </message>
    <message>
        <source>剪辑…</source>
        <translation>Trim…</translation>
    </message>
    <message>
        <source>复制文件</source>
        <translation>Copy file</translation>
    </message>
</context>
<context>
    <name>InputList</name>
    <message>
        <source>移除</source>
        <translation>Remove</translation>
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
        <translation>Screen Recording</translation>
    </message>
    <message>
        <source>录制</source>
        <translation>Rec</translation>
    </message>
    <message>
        <source>历史存档</source>
        <translation>History archive</translation>
    </message>
    <message>
        <source>存档</source>
        <translation>Arch</translation>
    </message>
    <message>
        <source>音视频转码</source>
        <translation>Media transcode</translation>
    </message>
    <message>
        <source>转换</source>
        <translation>Conv</translation>
    </message>
    <message>
        <source>高级配置</source>
        <translation>Advanced</translation>
    </message>
    <message>
        <source>高级</source>
        <translation>Config</translation>
    </message>
    <message>
        <source>菜单</source>
        <translation>Menu</translation>
    </message>
    <message>
        <source>切换主题</source>
        <translation>Switch theme</translation>
    </message>
    <message>
        <source>最小化</source>
        <translation>Minimize</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>敬请期待</source>
        <translation>Coming Soon</translation>
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
        <translation>About Us</translation>
    </message>
    <message>
        <source>录制存档</source>
        <translation>Recording Archive</translation>
    </message>
    <message>
        <source>音视频转换</source>
        <translation>Media Conversion</translation>
    </message>
    <message>
        <source>退出确认</source>
        <translation>Exit Confirmation</translation>
    </message>
    <message>
        <source>确定要退出程序吗？</source>
        <translation>Are you sure to exit the program?</translation>
    </message>
    <message>
        <source>录制已开始</source>
        <translation>Recording started</translation>
    </message>
    <message>
        <source>Vexlo 正在后台录制</source>
        <translation>Vexlo is recording in the background.</translation>
    </message>
    <message>
        <source>程序已最小化到托盘</source>
        <translation>App minimized to tray</translation>
    </message>
    <message>
        <source>声音</source>
        <translation>Sound</translation>
    </message>
</context>
<context>
    <name>MediaConverter</name>
    <message>
        <source>添加</source>
        <translation>Add</translation>
    </message>
    <message>
        <source>清空</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>一键转换</source>
        <translation>Convert</translation>
    </message>
    <message>
        <source>音频设置</source>
        <translation>Audio Settings</translation>
    </message>
    <message>
        <source>输出格式:</source>
        <translation>Output Format:</translation>
    </message>
    <message>
        <source>比特率:</source>
        <translation>Bitrate:</translation>
    </message>
    <message>
        <source>音频输出</source>
        <translation>Audio Output</translation>
    </message>
    <message>
        <source>选择</source>
        <translation>Select</translation>
    </message>
    <message>
        <source>视频设置</source>
        <translation>Video Settings</translation>
    </message>
    <message>
        <source>质量设置:</source>
        <translation>Quality Settings:</translation>
    </message>
    <message>
        <source>视频输出</source>
        <translation>Video Output</translation>
    </message>
    <message>
        <source>高质量</source>
        <translation>High Quality</translation>
    </message>
    <message>
        <source>中等质量</source>
        <translation>Medium Quality</translation>
    </message>
    <message>
        <source>低质量</source>
        <translation>Low Quality</translation>
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
        <translation>Select Media Files</translation>
    </message>
    <message>
        <source>选择音频输出目录</source>
        <translation>Select Audio Output Directory</translation>
    </message>
    <message>
        <source>选择视频输出目录</source>
        <translation>Select Video Output Directory</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>请先添加要转换的媒体文件</source>
        <translation>Please add media files to convert first</translation>
    </message>
    <message>
        <source>信息</source>
        <translation>Information</translation>
    </message>
    <message>
        <source>转换正在进行中</source>
        <translation>Conversion is in progress</translation>
    </message>
    <message>
        <source>未找到 ffmpeg 程序，请先安装 ffmpeg。</source>
        <translation>The ffmpeg program was not found. Please install ffmpeg.</translation>
    </message>
    <message>
        <source>正在转换媒体文件...</source>
        <translation>Converting media files...</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>正在转换 (%1/%2): %3</source>
        <translation>Converting (%1/%2): %3</translation>
    </message>
    <message>
        <source>不支持的文件类型: </source>
        <translation>Unsupported file type: </translation>
    </message>
    <message>
        <source>完成</source>
        <translation>Complete</translation>
    </message>
    <message>
        <source>所有媒体文件转换完成</source>
        <translation>All media files converted successfully</translation>
    </message>
    <message>
        <source>%1 个文件未能转换：</source>
        <translation>%1 file(s) could not be converted:</translation>
    </message>
    <message>
        <source>另有 %1 个，见详细信息。</source>
        <translation>%1 more; see the details.</translation>
    </message>
    <message>
        <source>（未完成的输出已删除）</source>
        <translation> (the incomplete output was deleted)</translation>
    </message>
    <message>
        <source>输出只有 %1，输入为 %2</source>
        <translation>The output is only %1 long; the input is %2</translation>
    </message>
    <message>
        <source>%1 个文件已转换，但有警告：</source>
        <translation>%1 file(s) converted with a warning:</translation>
    </message>
    <message>
        <source>媒体文件 (*.mp3 *.wav *.aac *.flac *.ogg *.wma *.m4a *.opus *.mp4 *.avi *.mov *.mkv *.flv *.wmv *.webm *.ts *.m4v)</source>
        <translation>Media Files (*.mp3 *.wav *.aac *.flac *.ogg *.wma *.m4a *.opus *.mp4 *.avi *.mov *.mkv *.flv *.wmv *.webm *.ts *.m4v)</translation>
    </message>
    <message>
        <source>打开输出文件夹</source>
        <translation>Open output folder</translation>
    </message>
    <message>
        <source>GIF 动图</source>
        <translation>GIF animation</translation>
    </message>
</context>
<context>
    <name>RecordingPage</name>
    <message>
        <source>开始</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>暂停</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>00:00:00</source>
        <translation>00:00:00</translation>
    </message>
    <message>
        <source>全屏</source>
        <translation>Fullscreen</translation>
    </message>
    <message>
        <source>窗口</source>
        <translation>Window</translation>
    </message>
    <message>
        <source>区域</source>
        <translation>Region</translation>
    </message>
    <message>
        <source>超清</source>
        <translation>Ultra HD</translation>
    </message>
    <message>
        <source>高清</source>
        <translation>HD</translation>
    </message>
    <message>
        <source>标清</source>
        <translation>SD</translation>
    </message>
    <message>
        <source>麦克风</source>
        <translation>Microphone</translation>
    </message>
    <message>
        <source>系统音频</source>
        <translation>System audio</translation>
    </message>
    <message>
        <source>错误</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>请先选择有效的录制区域</source>
        <translation>Please select a valid recording area first</translation>
    </message>
    <message>
        <source>请先选择有效的窗口</source>
        <translation>Please select a valid window first</translation>
    </message>
    <message>
        <source>无法开始录制</source>
        <translation>Failed to start recording</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>保存中…</source>
        <translation>Saving…</translation>
    </message>
    <message>
        <source>已录制的内容保存在：%1</source>
        <translation>The recorded part was saved to: %1</translation>
    </message>
    <message>
        <source>录制已停止</source>
        <translation>Recording stopped</translation>
    </message>
    <message>
        <source>继续</source>
        <translation>Keep</translation>
    </message>
    <message>
        <source>暂停/恢复录制时发生错误</source>
        <translation>Error occurred while pausing/resuming recording</translation>
    </message>
    <message>
        <source>开始录制后显示预览</source>
        <translation>The preview appears once recording starts</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>等待桌面的屏幕共享对话框…</source>
        <translation>Waiting for the desktop&apos;s screen sharing dialog…</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>所选屏幕未连接，已改为录制主屏幕</source>
        <translation>The chosen screen is not connected; recording the primary screen instead</translation>
    </message>
    <message>
        <source>倒计时已取消</source>
        <translation>The countdown was cancelled</translation>
    </message>
    <message>
        <source>剩余 %1</source>
        <translation>%1 left</translation>
    </message>
    <message>
        <source>桌面的屏幕共享对话框已取消</source>
        <translation>The desktop&apos;s screen sharing dialog was cancelled</translation>
    </message>
</context>
<context>
    <name>RegionSelector</name>
    <message>
        <source>确认</source>
        <translation>Confirm</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>拖动鼠标选择区域
按ESC取消</source>
        <translation>Drag mouse to select region
Press ESC to cancel</translation>
    </message>
</context>
<context>
    <name>RemoteControl</name>
    <message>
        <source>未知命令：%1</source>
        <translation>Unknown command: %1</translation>
    </message>
    <message>
        <source>录制正要开始</source>
        <translation>A recording is about to start</translation>
    </message>
    <message>
        <source>上一个录制还在保存</source>
        <translation>The last recording is still being saved</translation>
    </message>
    <message>
        <source>已经在录制</source>
        <translation>A recording is already running</translation>
    </message>
    <message>
        <source>无法开始录制</source>
        <translation>Failed to start recording</translation>
    </message>
    <message>
        <source>没有正在进行的录制</source>
        <translation>No recording is running</translation>
    </message>
    <message>
        <source>录制已经暂停</source>
        <translation>The recording is already paused</translation>
    </message>
    <message>
        <source>录制没有暂停</source>
        <translation>The recording is not paused</translation>
    </message>
    <message>
        <source>无法暂停录制</source>
        <translation>Could not pause the recording</translation>
    </message>
    <message>
        <source>无法继续录制</source>
        <translation>Could not resume the recording</translation>
    </message>
</context>
<context>
    <name>ScheduleOptions</name>
    <message>
        <source>定时</source>
        <translation>Timing</translation>
    </message>
    <message>
        <source>倒计时</source>
        <translation>Countdown</translation>
    </message>
    <message>
        <source>无</source>
        <translation>None</translation>
    </message>
    <message>
        <source>%1 秒</source>
        <translation>%1 s</translation>
    </message>
    <message>
        <source>定时停止</source>
        <translation>Stop after</translation>
    </message>
</context>
<context>
    <name>ScreenChoice</name>
    <message>
        <source>屏幕</source>
        <translation>Screen</translation>
    </message>
    <message>
        <source>%1 (%2×%3，主屏幕)</source>
        <translation>%1 (%2×%3, primary)</translation>
    </message>
    <message>
        <source>%1 (%2×%3)</source>
        <translation>%1 (%2×%3)</translation>
    </message>
    <message>
        <source>所有屏幕</source>
        <translation>All screens</translation>
    </message>
</context>
<context>
    <name>ScreenRecorder</name>
    <message>
        <source>捕获帧时发生错误: %1</source>
        <translation>An error occurred while capturing a frame: %1</translation>
    </message>
    <message>
        <source>无法初始化FFmpeg</source>
        <translation>Failed to initialise FFmpeg</translation>
    </message>
    <message>
        <source>写入视频文件失败，录制已停止: %1</source>
        <translation>Writing the video file failed; the recording was stopped: %1</translation>
    </message>
    <message>
        <source>无法创建输出格式上下文</source>
        <translation>Creating the output format context failed</translation>
    </message>
    <message>
        <source>无法创建视频流</source>
        <translation>Creating the video stream failed</translation>
    </message>
    <message>
        <source>无法找到视频编码器</source>
        <translation>No video encoder found</translation>
    </message>
    <message>
        <source>无法分配视频编码器上下文</source>
        <translation>Allocating the encoder context failed</translation>
    </message>
    <message>
        <source>无法打开视频编码器</source>
        <translation>Opening the video encoder failed</translation>
    </message>
    <message>
        <source>无法复制视频编码器参数</source>
        <translation>Copying the encoder parameters failed</translation>
    </message>
    <message>
        <source>无法分配视频帧</source>
        <translation>Allocating the video frame failed</translation>
    </message>
    <message>
        <source>无法分配视频帧缓冲区</source>
        <translation>Allocating the frame buffer failed</translation>
    </message>
    <message>
        <source>无法打开输出文件</source>
        <translation>Opening the output file failed</translation>
    </message>
    <message>
        <source>无法写入文件头: %1</source>
        <translation>Writing the file header failed: %1</translation>
    </message>
    <message>
        <source>输出文件夹不是本地的绝对路径: %1</source>
        <translation>The output folder is not an absolute local path: %1</translation>
    </message>
    <message>
        <source>无法创建输出文件夹 %1: %2</source>
        <translation>Could not create the output folder %1: %2</translation>
    </message>
    <message>
        <source>输出文件夹所在磁盘只剩 %1 MiB 可用空间，开始录制至少需要 %2 MiB</source>
        <translation>Only %1 MiB free on the output folder&apos;s disk; a recording needs at least %2 MiB to start</translation>
    </message>
    <message>
        <source>输出文件或其文件夹已被删除或移走，录制已停止</source>
        <translation>The output file or its folder was deleted or moved; the recording has stopped</translation>
    </message>
    <message>
        <source>输出文件夹所在磁盘只剩 %1 MiB 可用空间，录制已停止</source>
        <translation>Only %1 MiB left on the output folder&apos;s disk; the recording has stopped</translation>
    </message>
    <message>
        <source>无法初始化FFmpeg: %1</source>
        <translation>FFmpeg initialisation failed: %1</translation>
    </message>
    <message>
        <source>写入视频文件失败（%1），录制已停止</source>
        <translation>Writing the video file failed (%1); the recording has stopped</translation>
    </message>
    <message>
        <source>没有可用的声音服务器</source>
        <translation>no sound server is available</translation>
    </message>
    <message>
        <source>没有默认输入设备</source>
        <translation>there is no default input device</translation>
    </message>
    <message>
        <source>没有默认输出设备</source>
        <translation>there is no default output device</translation>
    </message>
    <message>
        <source>声音服务器拒绝录制: %1</source>
        <translation>the sound server refused to record: %1</translation>
    </message>
    <message>
        <source>无法录制麦克风（%1），本次录制不含麦克风声音。</source>
        <translation>The microphone cannot be recorded (%1); this recording has no microphone sound.</translation>
    </message>
    <message>
        <source>无法录制系统音频（%1），本次录制不含系统音频。</source>
        <translation>System audio cannot be recorded (%1); this recording has no system audio.</translation>
    </message>
    <message>
        <source>录制到 %1 时失去了麦克风，之后的部分没有麦克风声音。</source>
        <translation>The microphone was lost at %1 of the recording; the rest has no microphone sound.</translation>
    </message>
    <message>
        <source>录制到 %1 时失去了系统音频，之后的部分没有系统音频。</source>
        <translation>System audio was lost at %1 of the recording; the rest has no system audio.</translation>
    </message>
    <message>
        <source>无法找到音频编码器</source>
        <translation>No audio encoder found</translation>
    </message>
    <message>
        <source>无法创建音频流</source>
        <translation>Creating the audio stream failed</translation>
    </message>
    <message>
        <source>无法打开音频编码器</source>
        <translation>Opening the audio encoder failed</translation>
    </message>
    <message>
        <source>屏幕共享已被桌面结束</source>
        <translation>The desktop ended the screen sharing</translation>
    </message>
    <message>
        <source>正在录制的屏幕已断开</source>
        <translation>The screen being recorded was disconnected</translation>
    </message>
</context>
<context>
    <name>SessionNotice</name>
    <message>
        <source>Wayland 会话</source>
        <translation>Wayland session</translation>
    </message>
    <message>
        <source>当前桌面是 Wayland 会话。Vexlo 通过 X11 兼容服务运行，只能看到 X11 程序的窗口：全屏和区域录制中，这些窗口以外的部分都是黑色，窗口录制也只能选择 X11 程序的窗口。
要录制整个桌面，请注销后选择 X11（Xorg）会话登录。</source>
        <translation>This desktop is a Wayland session. Vexlo runs through the X11 compatibility server and sees only the windows of X11 programs: in full-screen and region recordings everything outside those windows is black, and window recording can choose only windows of X11 programs.
To record the whole desktop, log out and log in to an X11 (Xorg) session.</translation>
    </message>
    <message>
        <source>不再显示</source>
        <translation>Do not show again</translation>
    </message>
    <message>
        <source>• 无法高亮鼠标点击。</source>
        <translation>• Mouse clicks cannot be highlighted.</translation>
    </message>
    <message>
        <source>• 桌面不提供窗口共享：窗口录制只能选择 X11 程序的窗口。</source>
        <translation>• The desktop does not share windows: window recording can choose only windows of X11 programs.</translation>
    </message>
    <message>
        <source>当前桌面是 Wayland 会话，录制通过桌面的屏幕共享进行。与 X11 会话相比，仍有以下不同：</source>
        <translation>This desktop is a Wayland session; recording goes through the desktop&apos;s screen sharing. Compared with an X11 session, these still differ:</translation>
    </message>
</context>
<context>
    <name>SettingsPage</name>
    <message>
        <source>录制配置</source>
        <translation>Recording</translation>
    </message>
    <message>
        <source>麦克风/扬声器</source>
        <translation>Microphone / Speaker</translation>
    </message>
    <message>
        <source>录制麦克风</source>
        <translation>Record microphone</translation>
    </message>
    <message>
        <source>录制系统音频</source>
        <translation>Record system audio</translation>
    </message>
    <message>
        <source>视频</source>
        <translation>Video</translation>
    </message>
    <message>
        <source>帧率</source>
        <translation>Frame Rate</translation>
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
        <translation>Video quality​​</translation>
    </message>
    <message>
        <source>超清</source>
        <translation>Ultra HD</translation>
    </message>
    <message>
        <source>高清</source>
        <translation>HD</translation>
    </message>
    <message>
        <source>标清</source>
        <translation>SD</translation>
    </message>
    <message>
        <source>格式</source>
        <translation>Format</translation>
    </message>
    <message>
        <source>鼠标指针</source>
        <translation>Mouse pointer</translation>
    </message>
    <message>
        <source>捕获鼠标指针</source>
        <translation>Capture mouse pointer</translation>
    </message>
    <message>
        <source>启用点击高亮</source>
        <translation>Enable click highlighting</translation>
    </message>
    <message>
        <source>默认</source>
        <translation>Default</translation>
    </message>
    <message>
        <source>手型</source>
        <translation>Hand</translation>
    </message>
    <message>
        <source>十字</source>
        <translation>Cross</translation>
    </message>
    <message>
        <source>鼠标指针大小</source>
        <translation>Cursor size</translation>
    </message>
    <message>
        <source>水印配置</source>
        <translation>Watermark</translation>
    </message>
    <message>
        <source>文字水印</source>
        <translation>Text watermark</translation>
    </message>
    <message>
        <source>启用文字水印</source>
        <translation>Enable text watermarking</translation>
    </message>
    <message>
        <source>水印文字</source>
        <translation>Watermark text</translation>
    </message>
    <message>
        <source>输入水印文字</source>
        <translation>Enter watermark text</translation>
    </message>
    <message>
        <source>水印位置</source>
        <translation>Watermark position</translation>
    </message>
    <message>
        <source>右下角</source>
        <translation>Bottom Right</translation>
    </message>
    <message>
        <source>左下角</source>
        <translation>Bottom Left</translation>
    </message>
    <message>
        <source>右上角</source>
        <translation>Top Right</translation>
    </message>
    <message>
        <source>左上角</source>
        <translation>Top Left</translation>
    </message>
    <message>
        <source>居中</source>
        <translation>Center</translation>
    </message>
    <message>
        <source>水印大小</source>
        <translation>Watermark size</translation>
    </message>
    <message>
        <source>超级小(12)</source>
        <translation>Extra Small (12)</translation>
    </message>
    <message>
        <source>极小 (18)</source>
        <translation>Very Small (18)</translation>
    </message>
    <message>
        <source>小 (24)</source>
        <translation>Small (24)</translation>
    </message>
    <message>
        <source>中 (32)</source>
        <translation>Medium (32)</translation>
    </message>
    <message>
        <source>大 (42)</source>
        <translation>Large (42)</translation>
    </message>
    <message>
        <source>极大(72)</source>
        <translation>Very Large (72)</translation>
    </message>
    <message>
        <source>超大(120)</source>
        <translation>Extra Large (120)</translation>
    </message>
    <message>
        <source>超级大(240)</source>
        <translation>Huge (240)</translation>
    </message>
    <message>
        <source>水印颜色</source>
        <translation>Watermark color</translation>
    </message>
    <message>
        <source>选择颜色</source>
        <translation>Select color</translation>
    </message>
    <message>
        <source>图片水印</source>
        <translation>Image watermark</translation>
    </message>
    <message>
        <source>启用图片水印</source>
        <translation>Enable image watermarking</translation>
    </message>
    <message>
        <source>图片水印透明度</source>
        <translation>Image watermark transparency</translation>
    </message>
    <message>
        <source>图片水印大小</source>
        <translation>Image watermark size</translation>
    </message>
    <message>
        <source>图片水印路径</source>
        <translation>Image watermark path</translation>
    </message>
    <message>
        <source>选择图片</source>
        <translation>Select Picture</translation>
    </message>
    <message>
        <source>快捷键</source>
        <translation>Shortcut</translation>
    </message>
    <message>
        <source>开始录制/停止录制</source>
        <translation>Start/Stop Recording</translation>
    </message>
    <message>
        <source>暂停录制/继续录制</source>
        <translation>Pause/Resume Recording</translation>
    </message>
    <message>
        <source>全局快捷键（程序在后台时也有效）</source>
        <translation>System-wide shortcuts (also while Vexlo is in the background)</translation>
    </message>
    <message>
        <source>保存配置</source>
        <translation>Save Configuration</translation>
    </message>
    <message>
        <source>高级配置</source>
        <translation>Advanced</translation>
    </message>
    <message>
        <source>开机启动</source>
        <translation>Startup</translation>
    </message>
    <message>
        <source>启用开机自启动</source>
        <translation>Start on boot</translation>
    </message>
    <message>
        <source>录制最小化</source>
        <translation>Record &amp;&amp; minimize</translation>
    </message>
    <message>
        <source>录制后最小化到任务栏</source>
        <translation>Minimize to tray after recording</translation>
    </message>
    <message>
        <source>录制后最小化到状态栏</source>
        <translation>Record to tray</translation>
    </message>
    <message>
        <source>输出位置</source>
        <translation>Output path</translation>
    </message>
    <message>
        <source>更改...</source>
        <translation>Change...</translation>
    </message>
    <message>
        <source>默认配置</source>
        <translation>Default settings</translation>
    </message>
    <message>
        <source>恢复默认配置</source>
        <translation>Restore defaults</translation>
    </message>
    <message>
        <source>重置确认</source>
        <translation>Reset Confirmation</translation>
    </message>
    <message>
        <source>确定要将所有设置恢复为默认值吗？此操作无法撤销。</source>
        <translation>Are you sure you want to restore all settings to their defaults? This cannot be undone.</translation>
    </message>
    <message>
        <source>重置成功</source>
        <translation>Reset Successful</translation>
    </message>
    <message>
        <source>所有设置已恢复为默认值。</source>
        <translation>All settings have been restored to their defaults.</translation>
    </message>
    <message>
        <source>Wayland 桌面不向程序报告鼠标点击，无法高亮点击</source>
        <translation>Wayland desktops do not tell programs about mouse clicks, so clicks cannot be highlighted</translation>
    </message>
    <message>
        <source>选择输出目录</source>
        <translation>Select Output Directory</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>输出目录必须是本机上的文件夹：
%1</source>
        <translation>The output folder must be a folder on this computer:
%1</translation>
    </message>
    <message>
        <source>选择水印颜色</source>
        <translation>Select Watermark Color</translation>
    </message>
    <message>
        <source>选择水印图片</source>
        <translation>Select watermark image</translation>
    </message>
    <message>
        <source>Images (*.png *.jpg *.jpeg *.bmp)</source>
        <translation>Images (*.png *.jpg *.jpeg *.bmp)</translation>
    </message>
    <message>
        <source>桌面没有提供全局快捷键服务</source>
        <translation>The desktop offers no system-wide shortcut service</translation>
    </message>
    <message>
        <source>冲突</source>
        <translation>Conflict</translation>
    </message>
    <message>
        <source>不能使用与暂停相同的快捷键</source>
        <translation>Cannot use the same shortcut key as pause</translation>
    </message>
    <message>
        <source>错误</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>快捷键不能为空</source>
        <translation>Shortcut keys cannot be empty</translation>
    </message>
    <message>
        <source>不能使用与录制相同的快捷键</source>
        <translation>Cannot use the same shortcut keys as recording</translation>
    </message>
    <message>
        <source>录制和暂停快捷键不能相同</source>
        <translation>The recording and pause shortcut keys cannot be the same</translation>
    </message>
    <message>
        <source>保存成功</source>
        <translation>Successfully saved</translation>
    </message>
    <message>
        <source>快捷键设置已保存</source>
        <translation>Shortcut key settings have been saved</translation>
    </message>
</context>
<context>
    <name>ShortcutController</name>
    <message>
        <source>错误</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>无法设置全局快捷键：%1</source>
        <translation>Cannot set up the system-wide shortcuts: %1</translation>
    </message>
    <message>
        <source>开始录制/停止录制</source>
        <translation>Start/Stop Recording</translation>
    </message>
    <message>
        <source>暂停录制/继续录制</source>
        <translation>Pause/Resume Recording</translation>
    </message>
    <message>
        <source>冲突</source>
        <translation>Conflict</translation>
    </message>
    <message>
        <source>快捷键 %1 已被其他程序占用</source>
        <translation>The shortcut %1 is taken by another program</translation>
    </message>
</context>
<context>
    <name>TrayIcon</name>
    <message>
        <source>恢复窗口</source>
        <translation>Restore window</translation>
    </message>
    <message>
        <source>退出</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>停止录制</source>
        <translation>Stop recording</translation>
    </message>
    <message>
        <source>开始录制</source>
        <translation>Start recording</translation>
    </message>
    <message>
        <source>继续录制</source>
        <translation>Resume recording</translation>
    </message>
    <message>
        <source>暂停录制</source>
        <translation>Pause recording</translation>
    </message>
    <message>
        <source>Vexlo - 录制中 %1</source>
        <translation>Vexlo - Recording %1</translation>
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
        <translation>Cannot read this recording: %1</translation>
    </message>
    <message>
        <source>剪辑</source>
        <translation>Trim</translation>
    </message>
    <message>
        <source>位置</source>
        <translation>Position</translation>
    </message>
    <message>
        <source>起点</source>
        <translation>Start point</translation>
    </message>
    <message>
        <source>终点</source>
        <translation>End point</translation>
    </message>
    <message>
        <source>GIF 宽度</source>
        <translation>GIF width</translation>
    </message>
    <message>
        <source>GIF 帧率</source>
        <translation>GIF frame rate</translation>
    </message>
    <message>
        <source>保存视频</source>
        <translation>Save video</translation>
    </message>
    <message>
        <source>保存 GIF</source>
        <translation>Save GIF</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>原始尺寸</source>
        <translation>Original size</translation>
    </message>
    <message>
        <source>起点必须在终点之前</source>
        <translation>The start point must come before the end point</translation>
    </message>
    <message>
        <source>终点必须在起点之后</source>
        <translation>The end point must come after the start point</translation>
    </message>
    <message>
        <source>无法识别的时间：%1（格式为 [时:]分:秒.毫秒）</source>
        <translation>Not a time: %1 (the format is [h:]mm:ss.zzz)</translation>
    </message>
    <message>
        <source>未找到 ffmpeg 程序，请先安装 ffmpeg。</source>
        <translation>The ffmpeg program was not found. Please install ffmpeg first.</translation>
    </message>
    <message>
        <source>正在保存 %1…</source>
        <translation>Saving %1…</translation>
    </message>
    <message>
        <source>已取消，未保存任何文件</source>
        <translation>Cancelled; no file was saved</translation>
    </message>
    <message>
        <source>无法保存 %1：%2</source>
        <translation>Cannot save %1: %2</translation>
    </message>
    <message>
        <source>已保存 %1</source>
        <translation>Saved %1</translation>
    </message>
</context>
<context>
    <name>WindowSelector</name>
    <message>
        <source>选择窗口</source>
        <translation>Select Window</translation>
    </message>
    <message>
        <source>未找到可用窗口</source>
        <translation>No available windows found</translation>
    </message>
</context>
<context>
    <name>capture::PipeWireStream</name>
    <message>
        <source>PipeWire 视频流出错：%1</source>
        <translation>The PipeWire video stream failed: %1</translation>
    </message>
    <message>
        <source>PipeWire 视频流已断开</source>
        <translation>The PipeWire video stream was disconnected</translation>
    </message>
    <message>
        <source>无法连接 PipeWire（%1）</source>
        <translation>Cannot connect to PipeWire (%1)</translation>
    </message>
    <message>
        <source>与 PipeWire 的连接中断：%1</source>
        <translation>The connection to PipeWire was lost: %1</translation>
    </message>
</context>
<context>
    <name>capture::PortalSession</name>
    <message>
        <source>找不到桌面门户服务（xdg-desktop-portal），无法通过桌面录制屏幕</source>
        <translation>The desktop portal service (xdg-desktop-portal) was not found, so the screen cannot be recorded through the desktop</translation>
    </message>
    <message>
        <source>桌面门户不提供屏幕录制接口（ScreenCast）</source>
        <translation>The desktop portal offers no screen recording interface (ScreenCast)</translation>
    </message>
    <message>
        <source>桌面的屏幕共享失败</source>
        <translation>The desktop&apos;s screen sharing failed</translation>
    </message>
    <message>
        <source>无法连接 PipeWire：桌面没有交出屏幕共享的视频流</source>
        <translation>Cannot connect to PipeWire: the desktop did not hand over the screen sharing&apos;s video stream</translation>
    </message>
</context>
<context>
    <name>capture::PortalSource</name>
    <message>
        <source>桌面的屏幕共享没有送来画面</source>
        <translation>The desktop&apos;s screen sharing sent no picture</translation>
    </message>
    <message>
        <source>桌面的屏幕共享失败</source>
        <translation>The desktop&apos;s screen sharing failed</translation>
    </message>
    <message>
        <source>所选区域不在桌面共享的屏幕上</source>
        <translation>The region is not on the screen the desktop shares</translation>
    </message>
</context>
</TS>
