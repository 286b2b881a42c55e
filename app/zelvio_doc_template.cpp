#include "app/zelvio_doc_template.h"

#include "app/main_frame.h"

namespace zv {

TZelvioDocTemplate::TZelvioDocTemplate() = default;

TZelvioDocTemplate::~TZelvioDocTemplate() = default;

bool TZelvioDocTemplate::OpenNewDocument()
{
    m_frame = std::make_unique<TMainFrame>();
    return true;
}

QWidget* TZelvioDocTemplate::MainWindow() const
{
    return m_frame.get();
}

} // namespace zv
