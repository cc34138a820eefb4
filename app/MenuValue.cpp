#include "app/MenuValue.h"

#include "app/MenuItem.h"

CMenuValue::CMenuValue(CMenuItem* owner) : m_owner(owner) {
    if (owner) owner->SetValueWidget(this);
}

bool CMenuValue::IsSelected() { return m_owner && m_owner->IsSelected(); }
