#include "app/zelvio_doc_template.h"

#include "app/main_frame.h"
#include "order/zelvio_doc.h"

namespace zv {

TZelvioDocTemplate::TZelvioDocTemplate() = default;

TZelvioDocTemplate::~TZelvioDocTemplate()
{
    m_frame.reset();
    m_doc.reset();
}

bool TZelvioDocTemplate::OpenNewDocument()
{
    m_doc = std::make_unique<TZelvioDoc>();
    m_frame = std::make_unique<TMainFrame>(m_doc.get());
    m_doc->SetViews(m_frame.get());
    if (!m_doc->OnNewDocument()) {
        m_frame.reset();
        m_doc.reset();
        return false;
    }
    m_frame->UpdateTitle(m_doc->login);
    return true;
}

QWidget* TZelvioDocTemplate::MainWindow() const
{
    return m_frame.get();
}

} // namespace zv
