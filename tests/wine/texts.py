"""The client's texts as the user sees them, for every test that reads them
from the running program (status lines, titles, captions, box texts and
reply messages come back through the driver as Unicode). One table: a test
names a text here instead of typing it again."""

# Start-up and the main window.
STARTUP_NO_KEY = "未连接USBKEY"
STARTUP_ONE_KEY = "检测到签章USBKEY与电脑连接，请登录"
STARTUP_TWO_KEYS = "请只保留一个USBKEY与电脑连接"
START_TITLE = "版本：V1.8    当前状态：未登录"
TITLE_IN = "当前状态：已登录"
TITLE_OUT = "当前状态：未登录"
APP_CAPTION = "QEX电子签章"
SEAL_CAPTION = "电子签章"
ALREADY_RUNNING = "程序已经启动，不能重复运行！"
LOGIN_BUTTON = "登录"
EXIT_BUTTON = "退出"
CONTINUE_BUTTON = "继续"

# Key watch and login.
UK_INSERTED = "检测到UK插入，请登录"
KEEP_ONE_UK = "请只保留一个UK与电脑连接，并重新登录"
PIN_CAPTION = "请输入USBKEY的认证码："
PIN_TOO_SHORT = "密码长度不小于6位"
PIN_FAILED = "认证USBKEY失败"
LOGGED_IN = "登录电子签章客户端成功"
AUTO_LOGIN_FAILED = "自动登录失败，请稍后联系技术人员"
NOTICE_CAPTION = "提示：若未能自动打开电子签章网页"
VISIT_THIS_ADDRESS = "若未能自动打开电子签章网页，请访问以下网址："
BAD_REPLY = "服务请求返回的数据错误，请重新安装本产品！"
SERVER_DOWN = "连接签章服务器失败，请检查网络或联系技术人员！"


def no_answer(seconds):
    """A bounded service call that got no answer in time."""
    return "签章服务器%d秒内没有应答，已放弃本次请求" % seconds


# The bridge.
CONNECTION = "接收连接"
NET_INIT_FAILED_2 = "初始化网络失败2，请重新运行"
NO_DATA = "No ?data= & QEXDATAEND"
WAIT_HW = "等待录入手写签名"
REQUIRED_UNIT = "系统要求的签章单位名称是："
NO_UNIT_GIVEN = "没有指定签章单位"
UNIT_MISMATCH_LINE = "当前印章与系统要求的印章不符"
UNIT_MISMATCH = "签章失败，当前签章USBKEY所属单位和系统要求的不一致"
SIGNED = "签章成功"

# Handwriting.
QR_TEXT = "请打开手机并使用浏览器的扫一扫功能"
CAPTURED = "录入手写签名图像成功"
GIVEN_UP = "放弃录入手写签名"
RESIGN_FAILED = "采集手写签名失败"
RESIGN_REFUSED = "申请录入手写签名失败，请稍后登录或联系管理员"

# What the test seals carry (set up by the tests, shown by the client).
TEST_UNIT = "测试单位"
TEST_SEAL_NAME = "测试章"

# The origin gate of the bridge.
ORIGIN_REFUSED = "本网页未获准使用签章客户端签章，请联系系统管理员"
ORIGIN_NOT_LISTED = "拒绝签章请求，来源网页不在允许的名单中："
ORIGIN_NOT_GIVEN = "拒绝签章请求，请求没有给出来源网页"
ORIGIN_UNUSABLE = "拒绝签章请求，无法识别来源网页："
ORIGIN_HEAD_INCOMPLETE = "拒绝签章请求，请求头不完整或超过8K"
ORIGINS_IGNORED = "允许签章的网页名单中有无法识别的条目，已忽略："
