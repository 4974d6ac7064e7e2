#include "ScaleCommandTable.h"

#include <string>

namespace pondrex {

namespace {
constexpr auto S = THecrLinkStatus::ifSend;
constexpr auto R = THecrLinkStatus::ifReceive;
constexpr auto C = THecrLinkStatus::ifConnection;
constexpr auto Q = THecrLinkStatus::ifQty;
} // namespace

// IDs 7 and 9 share the code 0x90000000; a lookup by code finds ID 7.
const std::array<TScaleCommandRow, 44> ScaleCommandTable = {{
    {1, u"设置通讯波特率", C, 0x80000000u},
    {2, u"设置测量结果发送频率", S, 0x80010000u},
    {3, u"读取测量结果", R, 0x80020000u},
    {4, u"启动置零装置", S, 0x80030000u},
    {5, u"启动去皮装置", S, 0x80040000u},
    {6, u"启动或停止预制去皮装置", S, 0x80050000u},
    {7, u"断开连接", C, 0x90000000u},
    {8, u"测量结果", Q, 0x83000000u},
    {9, u"零重学习", S, 0x90000000u},
    {10, u"满重学习", S, 0x90010000u},
    {11, u"重量加速度调整", S, 0x90020000u},
    {12, u"满量程选择", S, 0x90030000u},
    {13, u"精度选择", S, 0x90040000u},
    {14, u"清空温度学习值", S, 0x90050000u},
    {15, u"开启或关闭温度补偿", S, 0x90060000u},
    {16, u"设置计量单位", S, 0x80060000u},
    {17, u"进入工厂模式", S, 0x91100000u},
    {18, u"离开工厂模式", S, 0x91110000u},
    {19, u"上传认证铅封", R, 0x91120000u},
    {20, u"上传真实铅封", R, 0x91130000u},
    {21, u"软件解保护", S, 0x91140000u},
    {22, u"退出软件解保护", S, 0x91150000u},
    {23, u"读取OP盒状态", R, 0x91160000u},
    {24, u"抗摔修复", S, 0x91170000u},
    {25, u"使用2/5量程学习满重", S, 0x90070000u},
    {26, u"清空所有参数", S, 0x90080000u},
    {27, u"读取OP盒温度补偿", R, 0xA0000000u},
    {28, u"线性学习", S, 0x900B0000u},
    {29, u"读取OP盒国别代码", R, 0x91180000u},
    {30, u"设置OP盒国别代码", S, 0x91190000u},
    {31, u"设置抗风干扰等级", S, 0x80090000u},
    {32, u"重新开机归原点", S, 0x80070000u},
    {33, u"设置机器号    ", S, 0x50200000u},
    {34, u"读取机器号    ", R, 0x50210000u},
    {35, u"读取标签称状态   ", R, 0x71030000u},
    {36, u"设置OP盒温度补偿  ", S, 0x92000000u},
    {37, u"设置强制退出去皮  ", S, 0x80080000u},
    {38, u"下载传感器号", S, 0x80110000u},
    {39, u"下载TQ6秤号", S, 0x80100000u},
    {40, u"上传传感器号", R, 0x911C0000u},
    {41, u"上传TQ9秤号", R, 0x911B0000u},
    {42, u"读取抗风等级", R, 0xA0030000u},
    {43, u"使用1/3量程学习满重", S, 0x900E0000u},
    {44, u"使用2/3量程学习满重", S, 0x900F0000u},
}};

void LoadScaleCommandTable(THecrCommandTable &table) {
  table.CmdList().Clear();
  for (const TScaleCommandRow &row : ScaleCommandTable)
    table.AddCommand(row.ID, std::u16string(row.Caption), row.Code, row.Kind);
}

} // namespace pondrex
