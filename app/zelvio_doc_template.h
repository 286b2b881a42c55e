#pragma once

#include "app/app_host.h"

#include <memory>

namespace zv {

class TMainFrame;
class TZelvioDoc;

// The program's single document type: a new document is the start of work
// and its main window.
class TZelvioDocTemplate final : public CDocTemplate {
public:
    TZelvioDocTemplate();
    ~TZelvioDocTemplate() override;

    bool OpenNewDocument() override;
    QWidget* MainWindow() const override;

private:
    // The document outlives its window: the frame is destroyed first.
    std::unique_ptr<TZelvioDoc> m_doc;
    std::unique_ptr<TMainFrame> m_frame;
};

} // namespace zv
