// The main window, offscreen: its controls, presses, drops, pictures, boxes and busy runs.
#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <atomic>
#include <chrono>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "app/file_dialog.h"
#include "app/main_window.h"
#include "app/message_box.h"
#include "app/picture_box.h"
#include "http/gbk_codec.h"

namespace quill {
namespace {

class RecordingEvents : public WindowEvents {
  public:
    std::vector<std::string> log;
    void UrlTemplatePressed() override { log.push_back("url template"); }
    void UrlTargetPressed() override { log.push_back("url target"); }
    void LocalTemplatePressed() override { log.push_back("local template"); }
    void LocalTargetPressed() override { log.push_back("local target"); }
    void FilesDroppedTemplate(const std::string& text) override {
        log.push_back("drop template:" + Utf8FromGbk(text));
    }
    void FilesDroppedTarget(const std::string& text) override {
        log.push_back("drop target:" + Utf8FromGbk(text));
    }
    void MergePressed() override { log.push_back("merge"); }
};

QString U(const char* utf8) {
    return QString::fromUtf8(utf8);
}
std::string Gbk(const char* utf8) {
    return GbkFromUtf8(utf8);
}

// Handles the next modal box of type T once it is up, then lets the caller go on.
template <typename T>
void WhenModal(std::function<void(T*)> handle) {
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, handle] {
        if (T* modal = qobject_cast<T*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            handle(modal);
        }
    });
    timer->start();
}

Bytes ToBytesOf(const QByteArray& data) {
    return Bytes(data.begin(), data.end());
}

Bytes Encoded(const QImage& image, const char* format) {
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(image.save(&buffer, format)) << format;
    return ToBytesOf(data);
}

QImage Solid(int width, int height, QColor colour) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

// A GIF of 2 x 2 pixels, one frame per colour index; LZW codes are sent with a clear before
// each pixel, so every code stays 3 bits wide.
Bytes MakeGif(const std::vector<int>& frameColours, int delayHundredths) {
    Bytes gif = ToBytes("GIF89a");
    gif.insert(gif.end(), {2, 0, 2, 0, 0x80, 0, 0});
    gif.insert(gif.end(), {255, 0, 0, 0, 0, 255});  // index 0 red, 1 blue
    if (frameColours.size() > 1) {
        const std::string loop = "\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00";
        gif.insert(gif.end(), loop.begin(), loop.end());
    }
    for (int colour : frameColours) {
        gif.insert(gif.end(),
                   {0x21, 0xF9, 4, 0, static_cast<std::uint8_t>(delayHundredths), 0, 0, 0});
        gif.insert(gif.end(), {0x2C, 0, 0, 0, 0, 2, 0, 2, 0, 0, 2});
        std::vector<int> codes;
        for (int i = 0; i < 4; ++i) {
            codes.push_back(4);
            codes.push_back(colour);
        }
        codes.push_back(5);
        Bytes packed;
        unsigned bits = 0;
        int count = 0;
        for (int code : codes) {
            bits |= static_cast<unsigned>(code) << count;
            count += 3;
            while (count >= 8) {
                packed.push_back(static_cast<std::uint8_t>(bits & 0xFF));
                bits >>= 8;
                count -= 8;
            }
        }
        if (count > 0) {
            packed.push_back(static_cast<std::uint8_t>(bits & 0xFF));
        }
        gif.push_back(static_cast<std::uint8_t>(packed.size()));
        gif.insert(gif.end(), packed.begin(), packed.end());
        gif.push_back(0);
    }
    gif.push_back(0x3B);
    return gif;
}

// An uncompressed 24-bit PCX of one colour.
Bytes MakePcx(int width, int height, QColor colour) {
    Bytes pcx(128, 0);
    pcx[0] = 0x0A;
    pcx[1] = 5;
    pcx[2] = 0;
    pcx[3] = 8;
    pcx[8] = static_cast<std::uint8_t>(width - 1);
    pcx[10] = static_cast<std::uint8_t>(height - 1);
    pcx[65] = 3;
    pcx[66] = static_cast<std::uint8_t>(width);
    for (int y = 0; y < height; ++y) {
        for (int value : {colour.red(), colour.green(), colour.blue()}) {
            pcx.insert(pcx.end(), static_cast<std::size_t>(width),
                       static_cast<std::uint8_t>(value));
        }
    }
    return pcx;
}

class WindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        window_ = std::make_unique<MainWindow>();
        window_->SetEvents(&events_);
        window_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
    }
    void TearDown() override {
        window_->SetEvents(nullptr);
        window_.reset();
    }

    template <typename T = QWidget>
    T* Control(const char* name) const {
        T* found = window_->findChild<T*>(U(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    void Click(QPoint at, Qt::MouseButton button = Qt::LeftButton) {
        QTest::mouseClick(window_->windowHandle(), button, {}, at);
        QCoreApplication::processEvents();
    }

    // Drags `mime` over the window at `at` and drops it, the way a window system delivers a
    // drag; true when some control accepted the drop.
    bool Drop(QPoint at, QMimeData* mime) {
        QWindow* handle = window_->windowHandle();
        QDragEnterEvent enter(at, Qt::CopyAction, mime, Qt::LeftButton, {});
        QCoreApplication::sendEvent(handle, &enter);
        QDragMoveEvent move(at, Qt::CopyAction, mime, Qt::LeftButton, {});
        QCoreApplication::sendEvent(handle, &move);
        QDropEvent drop(QPointF(at), Qt::CopyAction, mime, Qt::LeftButton, {});
        QCoreApplication::sendEvent(handle, &drop);
        QCoreApplication::processEvents();
        return drop.isAccepted();
    }

    static QMimeData* Files(const QStringList& paths) {
        auto* mime = new QMimeData;
        QList<QUrl> urls;
        for (const QString& path : paths) {
            urls.append(QUrl::fromLocalFile(path));
        }
        mime->setUrls(urls);
        return mime;
    }

    RecordingEvents events_;
    std::unique_ptr<MainWindow> window_;
};

TEST_F(WindowTest, WindowHasItsCaptionSizeAndFrame) {
    EXPECT_EQ(window_->windowTitle(), U("Quillmere1.1"));
    // The outer size where the window system has a frame, else the client size.
    const QSize frame = window_->frameGeometry().size() - window_->size();
    if (frame.isNull()) {
        EXPECT_EQ(window_->size(), QSize(825, 513));
    } else {
        // The frame is known only once the window is up; the resize follows it.
        EXPECT_TRUE(QTest::qWaitFor(
            [this] { return window_->frameGeometry().size() == QSize(841, 552); }, 2000))
            << window_->frameGeometry().width() << "x" << window_->frameGeometry().height();
    }
    const Qt::WindowFlags flags = window_->windowFlags();
    EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowSystemMenuHint);
    EXPECT_NE(window_->minimumSize(), window_->maximumSize());  // resizable
}

TEST_F(WindowTest, ControlsSitAtTheirPlacesInStackingOrder) {
    struct Row {
        const char* name;
        const char* parent;
        QRect geometry;
    };
    // Each parent's controls, top of the stack first.
    const Row rows[] = {
        {"选择框_返回信息", "", {408, 32, 312, 32}},
        {"透明标签_本地上传_模板图", "", {184, 200, 104, 40}},
        {"透明标签_本地上传_目标图", "", {184, 440, 104, 40}},
        {"透明标签_url_目标图", "", {24, 440, 104, 40}},
        {"透明标签_url_模板图", "", {24, 200, 104, 40}},
        {"标签_融合图片", "", {520, 424, 101, 39}},
        {"图片框1", "", {0, 0, 864, 624}},
        {"图片框_合成图", "图片框1", {314, 98, 494, 310}},
        {"标签3", "图片框1", {315, 28, 68, 40}},
        {"标签2", "图片框1", {28, 265, 68, 40}},
        {"标签1", "图片框1", {28, 28, 68, 40}},
        {"图片框_模板图", "图片框1", {28, 28, 257, 164}},
        {"图片框_目标图", "图片框1", {28, 265, 257, 164}},
        {"透明标签1", "图片框_合成图", {109, 245, 304, 88}},
    };
    // Resizing the window moves nothing.
    for (QSize size : {window_->size(), QSize(1000, 700), QSize(400, 300)}) {
        window_->resize(size);
        QCoreApplication::processEvents();
        for (const Row& row : rows) {
            EXPECT_EQ(Control(row.name)->geometry(), row.geometry) << row.name;
        }
    }
    QWidget* previous = nullptr;
    for (const Row& row : rows) {
        QWidget* control = Control(row.name);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(control->geometry(), row.geometry) << row.name;
        QWidget* parent = control->parentWidget();
        EXPECT_EQ(parent == window_.get() ? QString() : parent->objectName(), U(row.parent))
            << row.name;
        if (previous != nullptr && previous->parentWidget() == parent) {
            const QObjectList& siblings = parent->children();
            // Qt paints later children over earlier ones.
            EXPECT_GT(siblings.indexOf(previous), siblings.indexOf(control))
                << row.name << " should lie beneath " << previous->objectName().toStdString();
        }
        previous = control;
    }
}

TEST_F(WindowTest, CaptionsNoticeAndCheckBoxLookAsDescribed) {
    auto* check = Control<QCheckBox>("选择框_返回信息");
    EXPECT_EQ(check->text(), U("开启返回信息(返回内容过长时不会弹出提示)"));
    EXPECT_FALSE(check->isChecked());
    EXPECT_TRUE(check->focusPolicy() & Qt::TabFocus);
    EXPECT_EQ(check->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    EXPECT_EQ(check->palette().color(QPalette::Window), QColor(68, 68, 68));
    EXPECT_EQ(window_->CheckBoxState(), 0);
    check->setChecked(true);
    EXPECT_EQ(window_->CheckBoxState(), 1);

    for (auto [name, caption] : {std::pair{"标签1", "模板图"}, std::pair{"标签2", "目标图"},
                                 std::pair{"标签3", "合成图"}}) {
        auto* label = Control<QLabel>(name);
        EXPECT_EQ(label->text(), U(caption));
        EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(255, 255, 255));
        EXPECT_EQ(label->palette().color(QPalette::Window), QColor(109, 109, 109));
        EXPECT_EQ(label->alignment(), Qt::AlignCenter);
    }

    auto* notice = Control<QLabel>("透明标签1");
    EXPECT_EQ(notice->text(), U("图片由Quillmere生成\n请勿用于非法用途!"));
    EXPECT_EQ(notice->font().pixelSize(), 21);
    EXPECT_EQ(notice->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    EXPECT_TRUE(notice->testAttribute(Qt::WA_TransparentForMouseEvents));
}

TEST_F(WindowTest, PressesReachOnlyTheClickAreasAndTheMergeLabel) {
    struct Case {
        QPoint at;
        const char* expected;  // "" for none
    };
    const Case cases[] = {
        {{24, 200}, "url template"},
        {{127, 239}, "url template"},
        {{76, 220}, "url template"},
        {{24, 440}, "url target"},
        {{127, 479}, "url target"},
        {{184, 200}, "local template"},
        {{287, 239}, "local template"},
        {{184, 440}, "local target"},
        {{287, 479}, "local target"},
        {{520, 424}, "merge"},
        {{620, 462}, "merge"},
        // The painted 或, the footnote, the image areas and just outside the areas.
        {{156, 222}, ""},
        {{156, 460}, ""},
        {{100, 505}, ""},
        {{400, 505}, ""},
        {{150, 100}, ""},
        {{150, 340}, ""},
        {{560, 250}, ""},
        {{23, 220}, ""},
        {{128, 220}, ""},
        {{76, 199}, ""},
        {{76, 240}, ""},
        {{621, 440}, ""},
        {{570, 463}, ""},
    };
    for (const Case& c : cases) {
        events_.log.clear();
        Click(c.at);
        const std::vector<std::string> expected =
            *c.expected ? std::vector<std::string>{c.expected} : std::vector<std::string>{};
        EXPECT_EQ(events_.log, expected) << c.at.x() << "," << c.at.y();
    }
    events_.log.clear();
    Click({76, 220}, Qt::RightButton);
    Click({570, 440}, Qt::RightButton);
    EXPECT_TRUE(events_.log.empty());
}

TEST_F(WindowTest, PressRunsBeforeTheButtonIsReleased) {
    QTest::mousePress(window_->windowHandle(), Qt::LeftButton, {}, {570, 440});
    QCoreApplication::processEvents();
    EXPECT_EQ(events_.log, std::vector<std::string>{"merge"});
    QTest::mouseRelease(window_->windowHandle(), Qt::LeftButton, {}, {570, 440});
}

TEST_F(WindowTest, FilesDropOnlyOnTheTwoSlotBoxes) {
    const QString one = U("/tmp/照片 一.png");
    const QString two = U("/tmp/second.jpg");
    struct Case {
        QPoint at;
        QStringList paths;
        bool accepted;
        const char* expected;
    };
    const Case cases[] = {
        {{150, 100}, {one}, true, "drop template:/tmp/照片 一.png"},
        {{30, 30}, {one}, true, "drop template:/tmp/照片 一.png"},  // beneath 标签1's corner
        {{150, 340}, {one, two}, true, "drop target:/tmp/照片 一.png\r\n/tmp/second.jpg\r\n"},
        {{560, 200}, {one}, false, ""},  // merged box
        {{600, 495}, {one}, false, ""},  // background
        {{76, 220}, {one}, false, ""},   // a click area
        {{300, 150}, {one}, false, ""},  // between the panels
    };
    for (const Case& c : cases) {
        events_.log.clear();
        std::unique_ptr<QMimeData> mime(Files(c.paths));
        EXPECT_EQ(Drop(c.at, mime.get()), c.accepted) << c.at.x() << "," << c.at.y();
        const std::vector<std::string> expected =
            *c.expected ? std::vector<std::string>{c.expected} : std::vector<std::string>{};
        EXPECT_EQ(events_.log, expected) << c.at.x() << "," << c.at.y();
    }

    // Text, and web addresses, are no files.
    events_.log.clear();
    QMimeData text;
    text.setText(QStringLiteral("/tmp/a.png"));
    EXPECT_FALSE(Drop({150, 100}, &text));
    QMimeData web;
    web.setUrls({QUrl(QStringLiteral("https://example.invalid/a.png"))});
    EXPECT_FALSE(Drop({150, 100}, &web));
    EXPECT_TRUE(events_.log.empty());
}

TEST_F(WindowTest, DroppedPathWithoutAnExactGbkFormIsRefusedWithAnErrorBox) {
    QString shown;
    int style = 0;
    WhenModal<MessageDialog>([&](MessageDialog* box) {
        shown = box->Text();
        style = box->Style();
        box->OkButton()->click();
    });
    // U+1F600 and U+00E9 (é is in no GBK double-byte row as such) have no GBK form.
    std::unique_ptr<QMimeData> mime(Files({U("/tmp/ok.png"), U("/tmp/\U0001F600.png")}));
    EXPECT_TRUE(Drop({150, 100}, mime.get()));
    EXPECT_TRUE(events_.log.empty());
    EXPECT_EQ(shown, U(kPathErrorText));
    EXPECT_EQ(style, 16);
}

TEST_F(WindowTest, PicturesAreFittedCentredAndNeverEnlarged) {
    const QColor colour(200, 30, 40);
    struct Case {
        PictureBox box;
        QSize picture;
        QRect drawn;  // in the client area, inside the one-pixel border
    };
    const Case cases[] = {
        {PictureBox::Template, {1020, 324}, {0, 40, 255, 81}},
        {PictureBox::Target, {100, 80}, {77, 41, 100, 80}},
        {PictureBox::Template, {255, 162}, {0, 0, 255, 162}},
        {PictureBox::Merged, {300, 200}, {96, 54, 300, 200}},
        {PictureBox::Merged, {1000, 1000}, {92, 0, 308, 308}},
    };
    for (const Case& c : cases) {
        PictureBoxWidget* box = window_->Picture(c.box);
        window_->SetPicture(c.box,
                            Encoded(Solid(c.picture.width(), c.picture.height(), colour), "PNG"));
        const QImage shot = box->grab().toImage();
        const QColor face = box->palette().color(QPalette::Button);
        const QRect r = c.drawn.translated(1, 1);
        const auto at = [&shot](int x, int y) { return shot.pixelColor(x, y); };
        const std::string what =
            std::to_string(c.picture.width()) + "x" + std::to_string(c.picture.height());
        for (QPoint inside : {r.topLeft(), r.topRight(), QPoint(r.left(), r.top() + 1),
                              QPoint(r.right(), r.top() + 1)}) {
            EXPECT_EQ(at(inside.x(), inside.y()), colour) << what;
        }
        if (r.top() > 1) {
            EXPECT_EQ(at(r.left(), r.top() - 1), face) << what;
        }
        if (r.left() > 1) {
            EXPECT_EQ(at(r.left() - 1, r.top()), face) << what;
        }
        if (r.right() < box->width() - 2) {
            EXPECT_EQ(at(r.right() + 1, r.top()), face) << what;
        }
        if (c.box != PictureBox::Merged && r.bottom() < box->height() - 2) {
            EXPECT_EQ(at(r.left(), r.bottom()), colour) << what;
            EXPECT_EQ(at(r.left(), r.bottom() + 1), face) << what;
        }
        // The thin border in the frame colour of the window's scheme.
        EXPECT_EQ(at(0, 0), QColor(198, 197, 215)) << what;
    }
}

TEST_F(WindowTest, EveryPictureKindShowsAndBadBytesLeaveTheBoxEmpty) {
    const QColor green(20, 180, 60);
    Bytes cursor = Encoded(Solid(16, 16, green), "ICO");
    cursor[2] = 2;
    Bytes truncatedPng = Encoded(Solid(40, 40, green), "PNG");
    truncatedPng.resize(truncatedPng.size() / 2);
    struct Case {
        const char* name;
        Bytes bytes;
        bool shows;
        QColor colour;
    };
    const Case cases[] = {
        {"png", Encoded(Solid(30, 20, green), "PNG"), true, green},
        {"jpeg", Encoded(Solid(30, 20, green), "JPG"), true, green},
        {"bmp", Encoded(Solid(30, 20, green), "BMP"), true, green},
        {"icon", Encoded(Solid(16, 16, green), "ICO"), true, green},
        {"cursor", cursor, true, green},
        {"gif", MakeGif({1}, 0), true, QColor(0, 0, 255)},
        {"pcx", MakePcx(6, 4, green), true, green},
        {"html", ToBytes("<!DOCTYPE html><html><body>404</body></html>"), false, {}},
        {"truncated png", truncatedPng, false, {}},
        {"five bytes", ToBytes("\x89PNG\r"), false, {}},
        {"jpeg signature, no picture", ToBytes("\xFF\xD8 not really a jpeg"), false, {}},
    };
    PictureBoxWidget* box = window_->Picture(PictureBox::Target);
    for (const Case& c : cases) {
        // A picture first, so that a failed decode must also drop it.
        window_->SetPicture(PictureBox::Target, MakePcx(4, 4, Qt::white));
        ASSERT_TRUE(box->HasPicture());
        window_->SetPicture(PictureBox::Target, c.bytes);
        EXPECT_EQ(box->HasPicture(), c.shows) << c.name;
        if (c.shows) {
            const QColor centre =
                box->grab().toImage().pixelColor(box->width() / 2, box->height() / 2);
            EXPECT_NEAR(centre.red(), c.colour.red(), 8) << c.name;
            EXPECT_NEAR(centre.green(), c.colour.green(), 8) << c.name;
            EXPECT_NEAR(centre.blue(), c.colour.blue(), 8) << c.name;
        }
    }
    window_->SetPicture(PictureBox::Target, {});
    EXPECT_FALSE(box->HasPicture());
    const QImage empty = box->grab().toImage();
    EXPECT_EQ(empty.pixelColor(box->width() / 2, box->height() / 2),
              box->palette().color(QPalette::Button));
}

TEST_F(WindowTest, AnimatedGifAdvances) {
    PictureBoxWidget* box = window_->Picture(PictureBox::Merged);
    window_->SetPicture(PictureBox::Merged, MakeGif({0, 1}, 2));
    ASSERT_TRUE(box->IsAnimated());
    const QRgb first = box->CurrentFrame().pixel(0, 0);
    bool advanced = false;
    for (int i = 0; i < 100 && !advanced; ++i) {
        QTest::qWait(10);
        advanced = box->CurrentFrame().pixel(0, 0) != first;
    }
    EXPECT_TRUE(advanced);
    window_->SetPicture(PictureBox::Merged, MakeGif({0}, 0));
    EXPECT_FALSE(box->IsAnimated());
    EXPECT_TRUE(box->HasPicture());
}

TEST_F(WindowTest, MessageBoxHasItsCaptionOneButtonAndTheStyleIcon) {
    for (int style : {16, 64}) {
        QString title, text;
        QStringList buttons;
        QImage icon;
        WhenModal<MessageDialog>([&](MessageDialog* box) {
            title = box->windowTitle();
            text = box->Text();
            for (QPushButton* button : box->findChildren<QPushButton*>()) {
                buttons.append(button->text());
            }
            icon = box->findChild<QLabel*>(QStringLiteral("icon"))->pixmap().toImage();
            QTest::keyClick(box, Qt::Key_Return);
        });
        window_->MessageBox(Gbk("请设置好目标图和模板图之后再融合！！"), style);
        EXPECT_EQ(title, U("信息："));
        EXPECT_EQ(text, U("请设置好目标图和模板图之后再融合！！"));
        EXPECT_EQ(buttons, QStringList{U("确定")});
        const QStyle::StandardPixmap expected =
            style == 16 ? QStyle::SP_MessageBoxCritical : QStyle::SP_MessageBoxInformation;
        const int side = window_->style()->pixelMetric(QStyle::PM_MessageBoxIconSize);
        EXPECT_EQ(icon, window_->style()->standardIcon(expected).pixmap(side, side).toImage())
            << style;
    }
}

TEST_F(WindowTest, VeryLongMessageStaysWithinTheScreen) {
    std::string reply = "{\"data\":\"";
    reply += std::string(300000, 'A');
    reply += "\"}";
    int height = 0;
    qsizetype length = 0;
    WhenModal<MessageDialog>([&](MessageDialog* box) {
        height = box->frameGeometry().height();
        length = box->Text().size();
        box->OkButton()->click();
    });
    window_->MessageBox(reply, 64);
    EXPECT_GT(height, 0);
    EXPECT_LE(height, window_->screen()->availableGeometry().height());
    EXPECT_EQ(length, static_cast<qsizetype>(reply.size()));
}

TEST_F(WindowTest, InputBoxConfirmsCancelsAndKeepsGbkExact) {
    struct Case {
        const char* typed;  // nullptr: cancel
        bool confirmed;
        const char* result;
    };
    const Case cases[] = {
        {"https://example.invalid/照片.png", true, "https://example.invalid/照片.png"},
        {"", true, ""},
        {"   ", true, "   "},
        {nullptr, false, "untouched"},
    };
    for (const Case& c : cases) {
        QString title, prompt, initial;
        QStringList buttons;
        WhenModal<InputDialog>([&](InputDialog* box) {
            title = box->windowTitle();
            prompt = box->findChild<QLabel*>(QStringLiteral("prompt"))->text();
            initial = box->Line()->text();
            for (QPushButton* button : box->findChildren<QPushButton*>()) {
                buttons.append(button->text());
            }
            if (c.typed == nullptr) {
                box->CancelButton()->click();
            } else {
                box->Line()->setText(U(c.typed));
                box->ConfirmButton()->click();
            }
        });
        std::string text = "untouched";
        const bool confirmed =
            window_->InputBox(Gbk("请输入人脸图片的地址url!"), "https://host/tpl2.png", text);
        EXPECT_EQ(confirmed, c.confirmed);
        EXPECT_EQ(text, Gbk(c.result));
        EXPECT_EQ(title, U("请输入："));
        EXPECT_EQ(prompt, U("请输入人脸图片的地址url!"));
        EXPECT_EQ(initial, U("https://host/tpl2.png"));
        EXPECT_EQ(buttons, (QStringList{U("确认输入(&O)"), U("取消(&C)")}));
    }
}

TEST_F(WindowTest, InputWithoutAGbkFormIsNotConfirmed) {
    QString error;
    WhenModal<InputDialog>([&](InputDialog* box) {
        box->Line()->setText(U("http://a/\U0001F600.png"));
        WhenModal<MessageDialog>([&, box](MessageDialog* message) {
            error = message->Text();
            message->OkButton()->click();
            // The input box is still there to correct.
            QTimer::singleShot(0, box, [box] {
                box->Line()->setText(QStringLiteral("http://a/b.png"));
                box->ConfirmButton()->click();
            });
        });
        box->ConfirmButton()->click();
    });
    std::string text;
    EXPECT_TRUE(window_->InputBox("?", "", text));
    EXPECT_EQ(error, U(kInputErrorText));
    EXPECT_EQ(text, "http://a/b.png");
}

TEST(NameFilters, DescriptionsKeepTheirTextAndGetQtPatterns) {
    EXPECT_EQ(NameFiltersFromFilterText(
                  U("图片文件(*.jpg;*.bmp;*.png;*.gif)|*.jpg;*.bmp;*.png|任意文件（*.*）|*.*")),
              (QStringList{U("图片文件(*.jpg;*.bmp;*.png;*.gif) (*.jpg *.bmp *.png)"),
                           U("任意文件（*.*） (*.*)")}));
    EXPECT_EQ(NameFiltersFromFilterText(U("only a description")), QStringList{});
    EXPECT_EQ(NameFiltersFromFilterText(U("a|*.x|b|")), QStringList{U("a (*.x)")});
}

TEST_F(WindowTest, FileDialogOpensExistingFilesAndOffersTheLastPathAgain) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString chosen = dir.filePath(U("目标 图.png"));
    QFile(chosen).open(QIODevice::WriteOnly);
    const QString second = dir.filePath(U("PHOTO.JPG"));
    QFile(second).open(QIODevice::WriteOnly);

    window_->SetFileDialogFilter(
        Gbk("图片文件(*.jpg;*.bmp;*.png;*.gif)|*.jpg;*.bmp;*.png|任意文件（*.*）|*.*"));
    QStringList filters;
    QFileDialog::FileMode mode = QFileDialog::AnyFile;
    WhenModal<QFileDialog>([&](QFileDialog* dialog) {
        filters = dialog->nameFilters();
        mode = dialog->fileMode();
        dialog->selectFile(chosen);
        static_cast<QDialog*>(dialog)->accept();
    });
    ASSERT_TRUE(window_->OpenFileDialog());
    EXPECT_EQ(window_->FileDialogFileName(), GbkFromUtf8(chosen.toStdString()));
    EXPECT_EQ(mode, QFileDialog::ExistingFile);
    EXPECT_EQ(filters.size(), 2);

    // The next opening, from either button, offers that path; cancelling keeps it.
    QStringList offered;
    WhenModal<QFileDialog>([&](QFileDialog* dialog) {
        offered = dialog->selectedFiles();
        dialog->reject();
    });
    EXPECT_FALSE(window_->OpenFileDialog());
    EXPECT_EQ(offered, QStringList{chosen});
    EXPECT_EQ(window_->FileDialogFileName(), GbkFromUtf8(chosen.toStdString()));

    // Upper-case extensions match the lower-case patterns, as on the platform this came from;
    // other kinds stay out of the first entry's list.
    QFile(dir.filePath(QStringLiteral("notes.txt"))).open(QIODevice::WriteOnly);
    QStringList listed;
    WhenModal<QFileDialog>([&](QFileDialog* dialog) {
        auto* view = dialog->findChild<QListView*>(QStringLiteral("listView"));
        ASSERT_NE(view, nullptr);
        const auto names = [view] {
            QStringList shown;
            const QModelIndex root = view->rootIndex();
            for (int row = 0; row < view->model()->rowCount(root); ++row) {
                const QModelIndex index = view->model()->index(row, 0, root);
                if (index.flags() & Qt::ItemIsEnabled) {
                    shown.append(index.data().toString());
                }
            }
            shown.sort();
            return shown;
        };
        EXPECT_TRUE(QTest::qWaitFor([&] { return names().size() >= 2; }, 3000));
        listed = names();
        dialog->reject();
    });
    EXPECT_FALSE(window_->OpenFileDialog());
    EXPECT_EQ(listed, (QStringList{QStringLiteral("PHOTO.JPG"), U("目标 图.png")}));
}

TEST_F(WindowTest, FileDialogRefusesAPathWithoutAnExactGbkForm) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString odd = dir.filePath(U("\U0001F600.png"));
    QFile(odd).open(QIODevice::WriteOnly);
    QString error;
    WhenModal<QFileDialog>([&](QFileDialog* dialog) {
        WhenModal<MessageDialog>([&](MessageDialog* message) {
            error = message->Text();
            message->OkButton()->click();
        });
        dialog->selectFile(odd);
        static_cast<QDialog*>(dialog)->accept();
    });
    EXPECT_FALSE(window_->OpenFileDialog());
    EXPECT_EQ(error, U(kPathErrorText));
    EXPECT_EQ(window_->FileDialogFileName(), "");
}

TEST_F(WindowTest, BusyRunKeepsPaintingButDropsAllInputMadeMeanwhile) {
    std::atomic<bool> injected{false};
    int ticks = 0;
    bool waitCursor = false;
    bool visibleAfterClose = false;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(5);
    QTimer::singleShot(30, [&] {
        waitCursor = QApplication::overrideCursor() != nullptr &&
                     QApplication::overrideCursor()->shape() == Qt::WaitCursor;
        QTest::mouseClick(window_->windowHandle(), Qt::LeftButton, {}, {570, 440});
        QTest::mouseClick(window_->windowHandle(), Qt::LeftButton, {}, {76, 220});
        QTest::keyClick(window_.get(), Qt::Key_Space);
        window_->close();
        visibleAfterClose = window_->isVisible();
        injected = true;
    });
    auto* merge = Control("标签_融合图片");
    window_->RunWhileBusy([&] {
        for (int i = 0; i < 500 && !injected; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        // Input still queued when the work ends must not replay afterwards.
        QCoreApplication::postEvent(
            merge, new QMouseEvent(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(525, 429),
                                   Qt::LeftButton, Qt::LeftButton, {}));
    });
    QCoreApplication::processEvents();
    EXPECT_TRUE(injected);
    EXPECT_GT(ticks, 0);
    EXPECT_TRUE(waitCursor);
    EXPECT_TRUE(visibleAfterClose);
    EXPECT_TRUE(events_.log.empty());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    // Input after the work reaches the controls again.
    Click({570, 440});
    EXPECT_EQ(events_.log, std::vector<std::string>{"merge"});
}

TEST_F(WindowTest, BusyWorkMayUseTheWindowAndItsFailureComesOut) {
    window_->CheckBox()->setChecked(true);
    int state = -1;
    window_->RunWhileBusy([&] {
        state = window_->CheckBoxState();
        window_->SetPicture(PictureBox::Template, MakePcx(3, 3, Qt::red));
    });
    EXPECT_EQ(state, 1);
    EXPECT_TRUE(window_->Picture(PictureBox::Template)->HasPicture());

    EXPECT_THROW(window_->RunWhileBusy([] { throw std::runtime_error("lost connection"); }),
                 std::runtime_error);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    Click({76, 220});
    EXPECT_EQ(events_.log, std::vector<std::string>{"url template"});
}

TEST_F(WindowTest, ScreenshotShowsThePaintedPicturesAndControls) {
    // Real photographs, read the way the handlers read a chosen file.
    const std::string samples = GbkFromUtf8(QUILL_SAMPLES_DIR);
    for (auto [box, name] : {std::pair{PictureBox::Template, "/astronaut.png"},
                             std::pair{PictureBox::Target, "/grace_hopper.png"},
                             std::pair{PictureBox::Merged, "/rocket.jpg"}}) {
        const Bytes bytes = window_->ReadWholeFile(samples + name);
        ASSERT_FALSE(bytes.empty()) << name;
        window_->SetPicture(box, bytes);
        EXPECT_TRUE(window_->Picture(box)->HasPicture()) << name;
    }
    const QImage shot = window_->grab().toImage();
    ASSERT_GE(shot.width(), 825);
    ASSERT_GE(shot.height(), 513);
    const QString path = QStringLiteral(QUILL_TEST_ARTIFACT_DIR "/window_screenshot.png");
    EXPECT_TRUE(shot.save(path)) << path.toStdString();

    struct Probe {
        QPoint at;
        QColor colour;
    };
    const Probe probes[] = {
        {{5, 5}, {52, 52, 52}},        // background
        {{28, 203}, {102, 102, 102}},  // button frame
        {{32, 207}, {14, 13, 14}},     // button fill
        {{187, 476}, {14, 13, 14}},
        {{520, 424}, {102, 103, 102}},  // merge button's frame
        {{522, 426}, {14, 13, 14}},
        {{621, 463}, {68, 68, 68}},  // beyond the merge label, on the panel
        {{410, 34}, {68, 68, 68}},   // check box on the panel's band
        {{715, 60}, {68, 68, 68}},
        {{312, 60}, {52, 52, 52}},
        {{800, 60}, {68, 68, 68}},  // right panel
        {{800, 470}, {68, 68, 68}},
        {{30, 30}, {109, 109, 109}},   // 标签1
        {{314, 98}, {198, 197, 215}},  // merged box's border
    };
    for (const Probe& p : probes) {
        EXPECT_EQ(shot.pixelColor(p.at), p.colour) << p.at.x() << "," << p.at.y();
    }
    // Captions are drawn: the 或, the footnote and the notice show more than their ground.
    const auto differs = [&shot](QRect area, QColor ground) {
        for (int y = area.top(); y <= area.bottom(); ++y) {
            for (int x = area.left(); x <= area.right(); ++x) {
                if (shot.pixelColor(x, y) != ground) {
                    return true;
                }
            }
        }
        return false;
    };
    EXPECT_TRUE(differs({130, 205, 52, 34}, {52, 52, 52}));
    EXPECT_TRUE(differs({28, 498, 400, 18}, {52, 52, 52}));
    EXPECT_TRUE(differs({40, 210, 80, 25}, {14, 13, 14}));
    EXPECT_TRUE(differs({530, 430, 80, 25}, {14, 13, 14}));
}

}  // namespace
}  // namespace quill
