// What the three interface objects share: a count of the references handed
// out of them, an uncounted pointer to their owner, and the IUnknown rules
// of an interface object.
#ifndef QUORBIT_EXT_INTERFACE_OBJECT_H
#define QUORBIT_EXT_INTERFACE_OBJECT_H

#include "my_exch_ext.h"

// Derived supplies OwnIid(), the identifier of the interface it implements.
template <class Derived, class Interface>
class ExtInterfaceObject : public Interface
{
public:
    explicit ExtInterfaceObject(IUnknown* pParentInterface) : m_cRef(0), m_pExchExt(pParentInterface) {}

    // Its own identifier gives the object itself; IID_IUnknown gives the
    // owner, with a reference on the owner. Everything else is refused,
    // the owner's other interfaces included.
    STDMETHODIMP QueryInterface(REFIID riid, LPVOID* ppvObj) override
    {
        if (ppvObj == NULL)
            return E_POINTER;
        *ppvObj = NULL;
        if (riid == Derived::OwnIid())
        {
            *ppvObj = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        if (riid == IID_IUnknown)
        {
            *ppvObj = m_pExchExt;
            m_pExchExt->AddRef();
            return S_OK;
        }
        return E_NOINTERFACE;
    }

    STDMETHODIMP_(ULONG) AddRef() override
    {
        return ++m_cRef;
    }

    // At 0 the object is not freed by itself: the owner still points at it
    // and may hand it out again. The group goes when all its counts are 0.
    STDMETHODIMP_(ULONG) Release() override
    {
        ULONG cRef;

        // One Release too many must not free the group twice.
        if (m_cRef == 0)
            return 0;
        cRef = --m_cRef;
        if (cRef == 0)
            static_cast<MyExchExt*>(m_pExchExt)->FreeGroupIfUnused();
        return cRef;
    }

    BOOL IsInUse() const
    {
        return m_cRef != 0;
    }

protected:
    ULONG m_cRef;
    IUnknown* m_pExchExt;
};

#endif
