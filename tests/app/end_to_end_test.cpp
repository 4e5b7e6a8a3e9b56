// The real window, offscreen, with the real handlers: two files dropped on the slot boxes, the
// merge label pressed, and the merged picture shown, against a scripted face service.
#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QDropEvent>
#include <QImage>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <chrono>

#include "app/app_state.h"
#include "app/encoding.h"
#include "app/handlers.h"
#include "app/main_window.h"
#include "app/picture_box.h"
#include "http/gbk_codec.h"
#include "http/web_settings.h"
#include "json/json_document.h"
#include "tests/support/scripted_face_service.h"

namespace quill {
namespace {

QByteArray Png(int width, int height, QColor colour) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return data;
}

void DropFile(MainWindow& window, QPoint at, const QString& path) {
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(path)});
    QWindow* handle = window.windowHandle();
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, {});
    QCoreApplication::sendEvent(handle, &enter);
    QDragMoveEvent move(at, Qt::CopyAction, &mime, Qt::LeftButton, {});
    QCoreApplication::sendEvent(handle, &move);
    QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, {});
    QCoreApplication::sendEvent(handle, &drop);
}

TEST(EndToEnd, DroppedFilesMergeIntoTheShownPicture) {
    test::ScriptedFaceService service;
    const WebSettings saved = CurrentWebSettings();
    WebSettings settings = saved;
    settings.extraCertificatePem = service.Certificate().certificatePem;
    settings.stallTime = std::chrono::milliseconds(3000);
    SetWebSettings(settings);

    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString templatePath = folder.filePath(QString::fromUtf8("模板 图.png"));
    const QString targetPath = folder.filePath(QStringLiteral("target.png"));
    for (const auto& [path, colour] :
         {std::pair{templatePath, QColor(200, 0, 0)}, std::pair{targetPath, QColor(0, 0, 200)}}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(Png(120, 80, colour));
    }
    const QByteArray merged = Png(60, 40, QColor(0, 160, 0));
    service.ReplyToCheck(test::kAcceptedReply);
    service.ReplyToCheck(test::kAcceptedReply);
    service.ReplyToMerge(test::MergedReply(Base64Encode(Bytes(merged.begin(), merged.end()))));

    AppContext app;
    app.addresses = ServiceAddresses::ForHost(service.Host());
    app.json = std::make_unique<JsonDocument>();
    {
        MainWindow window;
        const std::unique_ptr<WindowEvents> handlers = MakeHandlers(app, window);
        window.SetEvents(handlers.get());
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

        DropFile(window, {156, 110}, templatePath);
        ASSERT_TRUE(QTest::qWaitFor([&] { return app.templateSlot.ready == 1; }, 20000));
        DropFile(window, {156, 347}, targetPath);
        ASSERT_TRUE(QTest::qWaitFor([&] { return app.targetSlot.ready == 1; }, 20000));
        EXPECT_EQ(app.templateSlot.source, GbkFromUtf8(templatePath.toStdString()));
        EXPECT_TRUE(window.Picture(PictureBox::Template)->HasPicture());
        EXPECT_TRUE(window.Picture(PictureBox::Target)->HasPicture());
        EXPECT_FALSE(window.Picture(PictureBox::Merged)->HasPicture());

        QTest::mousePress(window.windowHandle(), Qt::LeftButton, {}, {570, 440});
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return window.Picture(PictureBox::Merged)->HasPicture(); }, 20000));
        const QImage shown = window.Picture(PictureBox::Merged)->CurrentFrame();
        EXPECT_EQ(shown.size(), QSize(60, 40));
        EXPECT_EQ(shown.pixelColor(30, 20), QColor(0, 160, 0));
        QTest::mouseRelease(window.windowHandle(), Qt::LeftButton, {}, {570, 440});

        const std::vector<test::RecordedRequest> requests = service.Requests();
        ASSERT_EQ(requests.size(), 3u);
        EXPECT_NE(requests[2].body.find(R"("image_type":"BASE64")"), std::string::npos);
        window.SetEvents(nullptr);
    }
    app.json->Destroy();
    SetWebSettings(saved);
}

}  // namespace
}  // namespace quill
