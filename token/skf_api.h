// The SKF functions the client uses, behind an interface: the token logic
// is portable and unit-tested against fakes; on Windows SystemSkf()
// forwards to the library imported from mtoken_gm3000.dll.
#pragma once

#include "token/skf.h"

namespace qex {

class ISkf {
public:
    virtual ~ISkf();
    virtual ULONG EnumDev(BOOL bPresent, LPSTR szNameList, ULONG* pulSize) = 0;
    virtual ULONG ConnectDev(LPSTR szName, DEVHANDLE* phDev) = 0;
    virtual ULONG DisConnectDev(DEVHANDLE hDev) = 0;
    virtual ULONG EnumApplication(DEVHANDLE hDev, LPSTR szAppName, ULONG* pulSize) = 0;
    virtual ULONG OpenApplication(DEVHANDLE hDev, LPSTR szAppName, HAPPLICATION* phApplication) = 0;
    virtual ULONG CloseApplication(HAPPLICATION hApplication) = 0;
    virtual ULONG VerifyPIN(HAPPLICATION hApplication, ULONG ulPINType, LPSTR szPIN,
                            ULONG* pulRetryCount) = 0;
    virtual ULONG OpenContainer(HAPPLICATION hApplication, LPSTR szContainerName,
                                HCONTAINER* phContainer) = 0;
    virtual ULONG CloseContainer(HCONTAINER hContainer) = 0;
    virtual ULONG ExportCertificate(HCONTAINER hContainer, BOOL bSignFlag, BYTE* pbCert,
                                    ULONG* pulCertLen) = 0;
    virtual ULONG RSASignData(HCONTAINER hContainer, BYTE* pbData, ULONG ulDataLen,
                              BYTE* pbSignature, ULONG* pulSignLen) = 0;
    virtual ULONG ExportPublicKey(HCONTAINER hContainer, BOOL bSignFlag, BYTE* pbBlob,
                                  ULONG* pulBlobLen) = 0;
    virtual ULONG RSAVerify(DEVHANDLE hDev, RSAPUBLICKEYBLOB* pRSAPubKeyBlob, BYTE* pbData,
                            ULONG ulDataLen, BYTE* pbSignature, ULONG ulSignLen) = 0;
};

}  // namespace qex
