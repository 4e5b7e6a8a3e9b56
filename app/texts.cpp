#include "app/texts.h"

#include "http/gbk_codec.h"

namespace quill {

const Texts& GbkTexts() {
    static const Texts texts = [] {
        Texts t;
        t.kindLocal = GbkFromUtf8("本地");
        t.addressPrompt = GbkFromUtf8("请输入人脸图片的地址url!");
        t.fileFilter =
            GbkFromUtf8("图片文件(*.jpg;*.bmp;*.png;*.gif)|*.jpg;*.bmp;*.png|任意文件（*.*）|*.*");
        t.rawReply = GbkFromUtf8("获取到的网页源码为:");
        t.noFace = GbkFromUtf8("错误,未在图片中检测到人脸,请重试或更换图片!");
        t.unknownError = GbkFromUtf8("错误,未知错误!返回结果为:");
        t.notReady = GbkFromUtf8("请设置好目标图和模板图之后再融合！！");
        t.downloadFailed = GbkFromUtf8("图片下载失败，请更换图片！！");
        return t;
    }();
    return texts;
}

}  // namespace quill
