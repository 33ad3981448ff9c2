<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>CAboutDlg</name>
    <message>
        <source>录制设备通信…</source>
        <translation>Record traffic…</translation>
    </message>
    <message>
        <source>停止录制</source>
        <translation>Stop recording</translation>
    </message>
    <message>
        <source>正在录制：%1</source>
        <translation>Recording to %1</translation>
    </message>
    <message>
        <source>录制已保存：%1</source>
        <translation>Recording saved: %1</translation>
    </message>
    <message>
        <source>无法录制：%1</source>
        <translation>Cannot record: %1</translation>
    </message>
    <message>
        <source>复制诊断信息</source>
        <translation>Copy diagnostics</translation>
    </message>
    <message>
        <source>已复制到剪贴板</source>
        <translation>Copied to clipboard</translation>
    </message>
    <message>
        <source>关于Tolka面板</source>
        <translation>About Tolka Panel</translation>
    </message>
    <message>
        <source>名字：</source>
        <translation>Name:</translation>
    </message>
    <message>
        <source>型号：</source>
        <translation>Model:</translation>
    </message>
    <message>
        <source>固件版本：</source>
        <translation>Firmware:</translation>
    </message>
    <message>
        <source>硬件版本：</source>
        <translation>Hardware:</translation>
    </message>
    <message>
        <source>序列号：</source>
        <translation>Serial:</translation>
    </message>
    <message>
        <source>Tolka面板，1.4 版</source>
        <translation>Tolka Panel, version 1.4</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>CParaReplace</name>
    <message>
        <source>替换快捷参数</source>
        <translation>Replace a quick key's settings</translation>
    </message>
    <message>
        <source>    请从常用参数列表中选择一项替换这个按键对应的参数，这组参数会保存在Tolka中。</source>
        <translation>    Choose a preset from the list to replace the settings of this key. They are stored in the Tolka.</translation>
    </message>
    <message>
        <source>替换</source>
        <translation>Replace</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>Messages</name>
    <message>
        <source>没有访问权限</source>
        <translation>No access</translation>
    </message>
    <message>
        <source>无法更改开机启动：</source>
        <translation>Could not change start at login:</translation>
    </message>
    <message>
        <source>在 %1 找到了Vexlor声卡，但当前用户没有权限打开它。

请安装 udev 规则 %2（“%3” 可打印规则内容），然后运行：

%4

再把声卡重新插上。</source>
        <translation>A Vexlor sound card was found at %1, but this user may not open it.

Install the udev rule %2 ("%3" prints it), then run:

%4

and plug the sound card in again.</translation>
    </message>
    <message>
        <source>已有同名的用户效果：%1，是否替换？</source>
        <translation>User presets named %1 exist already. Replace them?</translation>
    </message>
    <message>
        <source>监听</source>
        <translation>Monitor</translation>
    </message>
    <message>
        <source>伴奏</source>
        <translation>Music</translation>
    </message>
    <message>
        <source>话筒</source>
        <translation>Mic</translation>
    </message>
    <message>
        <source>直播</source>
        <translation>Live</translation>
    </message>
    <message>
        <source>模拟接口</source>
        <translation>Analog jack</translation>
    </message>
    <message>
        <source>闪避</source>
        <translation>Ducking</translation>
    </message>
    <message>
        <source>混响音量</source>
        <translation>Reverb volume</translation>
    </message>
    <message>
        <source>湿声</source>
        <translation>Wet</translation>
    </message>
    <message>
        <source>种类</source>
        <translation>Reverb type</translation>
    </message>
    <message>
        <source>延时</source>
        <translation>Delay</translation>
    </message>
    <message>
        <source>电音变声</source>
        <translation>Auto-tune and voice</translation>
    </message>
    <message>
        <source>电音调号</source>
        <translation>Auto-tune key</translation>
    </message>
    <message>
        <source>电音幅度</source>
        <translation>Auto-tune depth</translation>
    </message>
    <message>
        <source>变声效果</source>
        <translation>Voice effect</translation>
    </message>
    <message>
        <source>自动关机</source>
        <translation>Auto off</translation>
    </message>
    <message>
        <source>自动关机时间</source>
        <translation>Auto-off time</translation>
    </message>
    <message>
        <source>均衡器开关</source>
        <translation>Equalizer switch</translation>
    </message>
    <message>
        <source>均衡器</source>
        <translation>Equalizer</translation>
    </message>
    <message>
        <source>均衡器 100</source>
        <translation>Equalizer 100</translation>
    </message>
    <message>
        <source>均衡器 250</source>
        <translation>Equalizer 250</translation>
    </message>
    <message>
        <source>均衡器 500</source>
        <translation>Equalizer 500</translation>
    </message>
    <message>
        <source>均衡器 750</source>
        <translation>Equalizer 750</translation>
    </message>
    <message>
        <source>均衡器 1K</source>
        <translation>Equalizer 1K</translation>
    </message>
    <message>
        <source>均衡器 1.5K</source>
        <translation>Equalizer 1.5K</translation>
    </message>
    <message>
        <source>均衡器 2K</source>
        <translation>Equalizer 2K</translation>
    </message>
    <message>
        <source>闪避门限</source>
        <translation>Ducking threshold</translation>
    </message>
    <message>
        <source>闪避速度</source>
        <translation>Ducking speed</translation>
    </message>
    <message>
        <source>闪避等级</source>
        <translation>Ducking level</translation>
    </message>
    <message>
        <source>高切</source>
        <translation>High cut</translation>
    </message>
    <message>
        <source>低切</source>
        <translation>Low cut</translation>
    </message>
    <message>
        <source>不是 JSON 文件</source>
        <translation>Not a JSON file</translation>
    </message>
    <message>
        <source>不是 JSON 文件：嵌套层数过多</source>
        <translation>Not a JSON file: nested too deeply</translation>
    </message>
    <message>
        <source>不是效果文件：&quot;format&quot; 必须是 &quot;qv7-presets&quot;</source>
        <translation>Not a preset file: &quot;format&quot; must be &quot;qv7-presets&quot;</translation>
    </message>
    <message>
        <source>没有版本号（本程序读取版本 1）</source>
        <translation>No version (this program reads version 1)</translation>
    </message>
    <message>
        <source>&quot;presets&quot; 必须是列表</source>
        <translation>&quot;presets&quot; must be a list</translation>
    </message>
    <message>
        <source>必须是含 &quot;name&quot; 和 &quot;parameters&quot; 的对象</source>
        <translation>must be an object with &quot;name&quot; and &quot;parameters&quot;</translation>
    </message>
    <message>
        <source>&quot;name&quot; 必须是文字</source>
        <translation>&quot;name&quot; must be text</translation>
    </message>
    <message>
        <source>文件中此名称出现了两次</source>
        <translation>the name appears twice in the file</translation>
    </message>
    <message>
        <source>&quot;parameters&quot; 必须是对象</source>
        <translation>&quot;parameters&quot; must be an object</translation>
    </message>
    <message>
        <source>均衡器（eqGain）必须是 7 个数的列表</source>
        <translation>Equalizer (eqGain) must be a list of 7 numbers</translation>
    </message>
    <message>
        <source>不是整数</source>
        <translation>not a whole number</translation>
    </message>
    <message>
        <source>第%1个效果（%2）：%3</source>
        <translation>Preset %1 (%2): %3</translation>
    </message>
    <message>
        <source>第%1个效果：%2</source>
        <translation>Preset %1: %2</translation>
    </message>
    <message>
        <source>不是 JSON 文件：第 %1 行第 %2 列有语法错误</source>
        <translation>Not a JSON file: syntax error at line %1, column %2</translation>
    </message>
    <message>
        <source>不支持的版本 %1（本程序读取版本 1）</source>
        <translation>Unsupported version %1 (this program reads version 1)</translation>
    </message>
    <message>
        <source>未知字段 %1</source>
        <translation>unknown field %1</translation>
    </message>
    <message>
        <source>文件过大：%1 字节，效果文件最多 %2 字节</source>
        <translation>File too large: %1 bytes; a preset file has at most %2</translation>
    </message>
    <message>
        <source>%1：文件不存在</source>
        <translation>%1: no such file</translation>
    </message>
    <message>
        <source>%1：不是普通文件</source>
        <translation>%1: not a regular file</translation>
    </message>
    <message>
        <source>%1：无法读取（%2）</source>
        <translation>%1: cannot be read (%2)</translation>
    </message>
    <message>
        <source>%1：读取时文件有变化</source>
        <translation>%1: changed while it was read</translation>
    </message>
    <message>
        <source>%1（%2）为 %3，允许范围 %4</source>
        <translation>%1 (%2) is %3, allowed %4</translation>
    </message>
    <message>
        <source>%1 为 %2，允许范围 %3</source>
        <translation>%1 is %2, allowed %3</translation>
    </message>
    <message>
        <source>缺少字段 %1（%2）</source>
        <translation>missing field %1 (%2)</translation>
    </message>
    <message>
        <source>缺少字段 %1</source>
        <translation>missing field %1</translation>
    </message>
    <message>
        <source>已导出 1 个效果（%1）到 %2</source>
        <translation>Exported 1 preset (%1) to %2</translation>
    </message>
    <message>
        <source>无法导出：%1 不是普通文件</source>
        <translation>Cannot export: %1 is not a regular file</translation>
    </message>
    <message>
        <source>已从 %1 导入 %2 个效果：新增 %3 个，替换 %4 个</source>
        <translation>Imported %2 presets from %1: %3 added, %4 replaced</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>错误</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>参数名称必须大于0个字符小于10个字符</source>
        <translation>A preset name must have more than 0 and fewer than 10 characters</translation>
    </message>
    <message>
        <source>名称中有无法保存的字符，请换用其他字符</source>
        <translation>The name has characters that cannot be stored; please use others</translation>
    </message>
    <message>
        <source>效果列表已满，无法保存</source>
        <translation>The preset list is full: nothing more can be saved</translation>
    </message>
    <message>
        <source>保存失败</source>
        <translation>Saving failed</translation>
    </message>
    <message>
        <source>写失败！！</source>
        <translation>Writing failed!!</translation>
    </message>
    <message>
        <source>参数错误！</source>
        <translation>Wrong parameters!</translation>
    </message>
    <message>
        <source>不是普通文件</source>
        <translation>it is not a regular file</translation>
    </message>
    <message>
        <source>读取时文件长度有变化</source>
        <translation>its length changed while it was read</translation>
    </message>
    <message>
        <source>新面板提醒</source>
        <translation>New panel</translation>
    </message>
    <message>
        <source>更新提醒</source>
        <translation>Update</translation>
    </message>
    <message>
        <source>解锁失败,0x%1！</source>
        <translation>Unlocking failed, 0x%1!</translation>
    </message>
    <message>
        <source>选择升级区域失败,0x%1！</source>
        <translation>Choosing the update area failed, 0x%1!</translation>
    </message>
    <message>
        <source>开始升级失败,0x%1！</source>
        <translation>Starting the update failed, 0x%1!</translation>
    </message>
    <message>
        <source>擦除失败,0x%1！</source>
        <translation>Erasing failed, 0x%1!</translation>
    </message>
    <message>
        <source>收到的参数错误（%1）(%2)</source>
        <translation>The parameters received are wrong (%1)(%2)</translation>
    </message>
    <message>
        <source>写入固件失败：设备确认了%1字节，本块只有%2字节！</source>
        <translation>Writing the firmware failed: the device confirmed %1 bytes, this block has only %2 bytes!</translation>
    </message>
    <message>
        <source>是否需要删除常用参数： %1 ？</source>
        <translation>Delete the preset %1?</translation>
    </message>
    <message>
        <source>效果文件 %1 无法载入：%2，其中的效果都没有列出。保存或删除效果前，会先把原文件另存一份。</source>
        <translation>The preset file %1 could not be loaded: %2. None of its presets are listed. Before a preset is saved or deleted, the file will be kept as a copy.</translation>
    </message>
    <message>
        <source>效果文件 %1 中有记录无法载入，已跳过：%2。保存或删除效果前，会先把原文件另存一份。</source>
        <translation>Records in the preset file %1 could not be loaded and were skipped: %2. Before a preset is saved or deleted, the file will be kept as a copy.</translation>
    </message>
    <message>
        <source>效果文件 %1 未能完整载入，也无法另存一份（%2），为免丢失其中的效果，没有写入。</source>
        <translation>The preset file %1 was not loaded whole and no copy of it could be kept (%2): it was not written, so that none of its presets are lost.</translation>
    </message>
    <message>
        <source>效果文件 %1 未能完整载入，原文件已另存为 %2。</source>
        <translation>The preset file %1 was not loaded whole; it was kept as %2.</translation>
    </message>
    <message>
        <source>无法读取（%1）</source>
        <translation>it cannot be read (%1)</translation>
    </message>
    <message>
        <source>文件大小 %1 字节，超过 %2 条的上限</source>
        <translation>its %1 bytes are more than the limit of %2 records</translation>
    </message>
    <message>
        <source>文件大小 %1 字节，不是 %2 的整数倍</source>
        <translation>its %1 bytes are not a multiple of %2</translation>
    </message>
    <message>
        <source>%1等共 %2 条</source>
        <translation>%1 and others, %2 in all</translation>
    </message>
    <message>
        <source>%1、%2</source>
        <translation>%1, %2</translation>
    </message>
    <message>
        <source>第%1条（校验和错误）</source>
        <translation>record %1 (bad checksum)</translation>
    </message>
    <message>
        <source>第%1条（记录头错误）</source>
        <translation>record %1 (bad header)</translation>
    </message>
    <message>
        <source>改善内容：%1
当前版本：%2
新的版本：%3
更新过程中请保持Tolka连接电脑
是否需要更新？</source>
        <translation>Improvements: %1
Current version: %2
New version: %3
Keep the Tolka connected to the computer while it updates.
Update now?</translation>
    </message>
    <message>
        <source>    Tolka面板有更新的版本(%1)，请到Vexlor官网（%2）下载，或找Vexlor售后获取。
    是否去官网下载？</source>
        <translation>    A newer Tolka Panel (%1) is out: download it from Vexlor's website (%2), or ask Vexlor's service for it.
    Open the website?</translation>
    </message>
</context>
<context>
    <name>NameInput</name>
    <message>
        <source>输入名字</source>
        <translation>Enter a name</translation>
    </message>
    <message>
        <source>请输入该参数的名字，最长为5个汉字（10个字母）：</source>
        <translation>A name for these settings, at most 10 letters (5 Chinese characters):</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>SingleMessageBox</name>
    <message>
        <source>（又收到 %1 条消息，这里显示最新的一条）</source>
        <translation>(%1 more messages came; this is the latest)</translation>
    </message>
    <message>
        <source>（又收到 %1 次）</source>
        <translation>(came %1 more times)</translation>
    </message>
</context>
<context>
    <name>Window</name>
    <message>
        <source>Vexlor声卡没有访问权限</source>
        <translation>Vexlor sound card: no access</translation>
    </message>
    <message>
        <source>Tolka 正由 qv7ctl 使用，稍后自动连接</source>
        <translation>qv7ctl is using the Tolka; connecting when it is done</translation>
    </message>
    <message>
        <source>效果文件 (*.json);;所有文件 (*)</source>
        <translation>Preset files (*.json);;All files (*)</translation>
    </message>
    <message>
        <source>Tolka面板-Vexlor</source>
        <translation>Tolka Panel - Vexlor</translation>
    </message>
    <message>
        <source>没有找到Vexlor声卡</source>
        <translation>No Vexlor sound card found</translation>
    </message>
    <message>
        <source>VexlorTolka连接</source>
        <translation>Vexlor Tolka connected</translation>
    </message>
    <message>
        <source>关于 qv7-panel(&amp;A)...</source>
        <translation>&amp;About qv7-panel...</translation>
    </message>
    <message>
        <source>显示面板</source>
        <translation>Show panel</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Quit</translation>
    </message>
    <message>
        <source>闪避</source>
        <translation>Ducking</translation>
    </message>
    <message>
        <source>充电</source>
        <translation>Charge</translation>
    </message>
    <message>
        <source>立体混音</source>
        <translation>Stereo</translation>
    </message>
    <message>
        <source>耳返</source>
        <translation>In-ear</translation>
    </message>
    <message>
        <source>保存效果</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>删除效果</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>效果列表：</source>
        <translation>Presets:</translation>
    </message>
    <message>
        <source>使用效果</source>
        <translation>Apply</translation>
    </message>
    <message>
        <source>国标</source>
        <translation>CN</translation>
    </message>
    <message>
        <source>港标</source>
        <translation>HK</translation>
    </message>
    <message>
        <source>音量</source>
        <translation>Vol</translation>
    </message>
    <message>
        <source>监听</source>
        <translation>Mon</translation>
    </message>
    <message>
        <source>话筒</source>
        <translation>Mic</translation>
    </message>
    <message>
        <source>伴奏</source>
        <translation>Music</translation>
    </message>
    <message>
        <source>直播</source>
        <translation>Live</translation>
    </message>
    <message>
        <source>开关</source>
        <translation>On</translation>
    </message>
    <message>
        <source>分钟</source>
        <translation>min</translation>
    </message>
    <message>
        <source>湿声</source>
        <translation>Wet</translation>
    </message>
    <message>
        <source>种类</source>
        <translation>Type</translation>
    </message>
    <message>
        <source>延时</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>高切</source>
        <translation>HCut</translation>
    </message>
    <message>
        <source>低切</source>
        <translation>LCut</translation>
    </message>
    <message>
        <source>不使用</source>
        <translation>Off</translation>
    </message>
    <message>
        <source>电音</source>
        <translation>Tune</translation>
    </message>
    <message>
        <source>变声</source>
        <translation>Voice</translation>
    </message>
    <message>
        <source>电音调号</source>
        <translation>Key</translation>
    </message>
    <message>
        <source>电音幅度</source>
        <translation>Depth</translation>
    </message>
    <message>
        <source>变声效果</source>
        <translation>Effect</translation>
    </message>
    <message>
        <source>门限</source>
        <translation>Gate</translation>
    </message>
    <message>
        <source>速度</source>
        <translation>Rate</translation>
    </message>
    <message>
        <source>等级</source>
        <translation>Level</translation>
    </message>
    <message>
        <source>降噪范围:</source>
        <translation>Range:</translation>
    </message>
    <message>
        <source>底噪范围:</source>
        <translation>Floor:</translation>
    </message>
    <message>
        <source>进度：</source>
        <translation>Done:</translation>
    </message>
    <message>
        <source>电池：</source>
        <translation>Battery:</translation>
    </message>
    <message>
        <source>无新版本</source>
        <translation>No new version</translation>
    </message>
    <message>
        <source>有新版本,点击更新</source>
        <translation>Update available</translation>
    </message>
    <message>
        <source>下载完成，等待写入</source>
        <translation>Downloaded, waiting to write</translation>
    </message>
    <message>
        <source>写入完成，更新成功</source>
        <translation>Written: the update is done</translation>
    </message>
    <message>
        <source>开机启动</source>
        <extracomment>Tray menu, checkable: the panel starts with the desktop session.</extracomment>
        <translation>Start at login</translation>
    </message>
    <message>
        <source>导出效果…</source>
        <extracomment>Preset combo box&apos;s context menu: writes the user presets to a file.</extracomment>
        <translation>Export presets…</translation>
    </message>
    <message>
        <source>导入效果…</source>
        <extracomment>Preset combo box&apos;s context menu: reads user presets from a file.</extracomment>
        <translation>Import presets…</translation>
    </message>
    <message>
        <source>写入停滞，已 %1 秒无进展，请检查连接</source>
        <translation>Stalled: no progress for %1 s. Check the connection</translation>
    </message>
    <message>
        <source>Tolka上的效果</source>
        <comment>group</comment>
        <translation>Effects on the Tolka</translation>
    </message>
    <message>
        <source>其他</source>
        <comment>group</comment>
        <translation>Other</translation>
    </message>
    <message>
        <source>常用效果</source>
        <comment>group</comment>
        <translation>Presets</translation>
    </message>
    <message>
        <source>模拟接口</source>
        <comment>group</comment>
        <translation>Analog jack</translation>
    </message>
    <message>
        <source>音量</source>
        <comment>group</comment>
        <translation>Volume</translation>
    </message>
    <message>
        <source>均衡器</source>
        <comment>group</comment>
        <translation>Equalizer</translation>
    </message>
    <message>
        <source>自动关机</source>
        <comment>group</comment>
        <translation>Auto off</translation>
    </message>
    <message>
        <source>混响</source>
        <comment>group</comment>
        <translation>Reverb</translation>
    </message>
    <message>
        <source>电音变声</source>
        <comment>group</comment>
        <translation>Auto-tune and voice</translation>
    </message>
    <message>
        <source>闪避</source>
        <comment>group</comment>
        <translation>Ducking</translation>
    </message>
    <message>
        <source>降噪</source>
        <comment>group</comment>
        <translation>Noise reduction</translation>
    </message>
    <message>
        <source>Tolka在线升级</source>
        <comment>group</comment>
        <translation>Tolka online update</translation>
    </message>
</context>
</TS>
