#include "text/common_han.h"

#include <bitset>
#include <string_view>

namespace sentiment {

namespace {

// About 1,400 characters that make up most of everyday Chinese, simplified
// and traditional: everyday words, and those of reviews of food, delivery and
// service. A reading of bytes as Chinese that is right is mostly made of
// them; bytes of another encoding read as Chinese give characters spread
// over all twenty thousand, few of them here.
constexpr std::string_view kSimplified =
    "的一是不了人我在有他这中大来上国个到说们为子和你地出道也时年得就那要下以生会自着"
    "去之过家学对可她里后小么心多天而能好都然没日于起还发成事只作当想看文无开手十用主"
    "行方又如前所本见经头面公同三已老从动两长知民样现分将外但身些与高意进把法此实回二"
    "理美点月明其种声全工己话儿者向情部正名定女问力机给等几很业最间新什打便位因重被走"
    "电四第门相次东政海口使教西再平真听世气信北少关并内加化由却代军产入先山五太水万市"
    "眼体别处总才场师书比住员九笑性通目华报立马命张活难神数件安表原车白应路期叫死常提"
    "感金何更反合放做系计或司利受光王果亲界及今京务制解各任至清物台象记边共风战干接它"
    "许八特觉望直服毛林题建南度统色字请交爱让认算论百吃义科怎元社术结六功指思非流每青"
    "管夫连远资队跟带花快条院变联言权往展该领传近留红治决周保达办运武半候七必城父强步"
    "完革深区即求品士转量空甚众技轻程告江语英基派满式李息写呢识极令黄德收脸钱党倒未持"
    "取设始版双历越史商千片容研像找友孩站广改议形委早房音火际则首单据导影失拿网香似斯"
    "专石若兵弟谁校读志飞观争究包组造落视济喜离虽坏兴注爸哥称奇男刚照差医村树乎查怕怪"
    "另坐乐吗呀吧啊哦嗯哈嘛啦哇喔呵嘿唉哎呃诶耶喽罢够顿份碗盘杯瓶盒袋装饭菜餐味送慢凉"
    "冷热烫咸淡辣甜酸苦鲜嫩脆软硬油腻饿饱鸡鸭鱼虾蟹肉猪牛羊蛋米粉粥汤饼饺馄饨馒炒煮蒸"
    "炸烤焖炖卤拌酱醋盐糖葱姜蒜椒豆腐蔬瓜茶奶咖啡饮料冰皮串锅麻卖店铺板客户骑配评价格"
    "贵宜惠态质材净卫推荐订准晚超久钟秒赞棒错误漏洒撒糊焦熟恶垃圾欢谢辛速迅确礼貌耐敷"
    "衍骗退款投诉般挺蛮尤简居竟终刻随赶紧尽概须需希担害伤讨厌恨念忘怀疑支帮助顾仔细努"
    "坚弃选择划备排织参举束继续停止增减降低营销售购买消费付供拒绝允禁邀介绍示释描述调"
    "析较判断录整拾扫洗衣睡休习班旅游锻炼泳跑散逛街聊短玩戏唱歌跳舞画拍借换修补丢捡摔"
    "碰撞破碎烂旧脏乱臭异掉恰适舒复杂易困烦危险健康漂亮聪笨傻厉优秀普殊根稍微类左右旁"
    "附围哪昨午夜末星季节春夏秋冬永偶尔突忽渐仍依且除否例括按呗咯嘞哟嗷嗨喂吓哼呦诚忠"
    "尊敬谦虚骄傲勇敢懒惰勤奋积温柔粗鲁善良邪伪模楚涂惯验标环境况状矛盾段响效值益缺脾"
    "印精疾病护药疗检针冒烧咳嗽疼肚拉胃食欲零酒啤汁矿泉雪碧块足喷飕蜜溜绵巴湿漉黏号码"
    "址楼层农省县镇乡庄州圳津庆汉杭沙郑岛厦苏沈阳滨福昆宁兰肥昌萨乌木齐呼浩银川港澳湾"
    "币角折免邮押票具筷勺叉刀纸巾吸塑偏忌兑余额账密登册载脑络屏幕池充耳键鼠图频镜颜蓝"
    "绿黑灰紫棕透暗浅厚薄宽窄矮胖瘦假丑弱贫富贱丝递级货套喝煎催肘傅土態湯絲著遞級貨帶";
constexpr std::string_view kTraditional =
    "這來國個說們為時會過學對裡後麼沒於還發當開無見經頭從動兩長現樣將與實點種聲話兒問"
    "機給幾業間電門東聽氣關並內軍產萬體別處總場師書員華報馬張難數車應親務記邊風戰幹許"
    "覺統請愛讓認論義術結條變聯權該領傳紅決達辦運強區轉眾輕滿寫識極黃臉錢黨歷設雙際單"
    "據導網專誰讀飛觀爭組視濟離雖壞興稱醫樹樂嗎頓盤裝飯涼熱燙鹹鮮軟膩餓飽雞鴨魚蝦豬麵"
    "餅餃餛飩饅燒燉滷醬鹽蔥薑飲鍋賣闆舖騎價貴質淨衛薦訂準鐘讚錯誤灑噁歡謝確禮騙訴評擬"
    "簡須擔憂傷討厭憶懷贊幫顧細堅選劃備織參舉進繼續維減營銷購買費遊戲畫換補丟撿爛舊髒"
    "亂異適雜煩險聰厲優絕較類週圍節漸儘則隨誠謙驕懶積溫魯惡偽習慣驗標環況題遲錶護藥療"
    "檢針腸調礦塊夠號碼樓層鎮鄉莊廣灣幣紙膠註兌餘額帳錄冊載訊螢鍵圖頻鏡顏藍綠銀淺寬遠"
    "貧賤髮";

constexpr char32_t kFirst = 0x4E00, kLast = 0x9FFF;

void add(std::bitset<kLast - kFirst + 1>& set, std::string_view utf8) {
    for (std::size_t i = 0; i + 3 <= utf8.size(); i += 3) {
        const auto b = [&](std::size_t k) { return static_cast<char32_t>(static_cast<unsigned char>(utf8[i + k])); };
        const char32_t cp = ((b(0) & 0x0F) << 12) | ((b(1) & 0x3F) << 6) | (b(2) & 0x3F);
        if (cp >= kFirst && cp <= kLast) set.set(cp - kFirst);
    }
}

}  // namespace

bool common_han(char32_t cp) {
    static const auto set = [] {
        std::bitset<kLast - kFirst + 1> s;
        add(s, kSimplified);
        add(s, kTraditional);
        return s;
    }();
    return cp >= kFirst && cp <= kLast && set.test(cp - kFirst);
}

}  // namespace sentiment
