#include "token/skf_system.h"

namespace qex {

namespace {

class SystemSkfImpl final : public ISkf {
public:
    ULONG EnumDev(BOOL bPresent, LPSTR szNameList, ULONG* pulSize) override {
        return SKF_EnumDev(bPresent, szNameList, pulSize);
    }
    ULONG ConnectDev(LPSTR szName, DEVHANDLE* phDev) override {
        return SKF_ConnectDev(szName, phDev);
    }
    ULONG DisConnectDev(DEVHANDLE hDev) override { return SKF_DisConnectDev(hDev); }
    ULONG EnumApplication(DEVHANDLE hDev, LPSTR szAppName, ULONG* pulSize) override {
        return SKF_EnumApplication(hDev, szAppName, pulSize);
    }
    ULONG OpenApplication(DEVHANDLE hDev, LPSTR szAppName, HAPPLICATION* phApplication) override {
        return SKF_OpenApplication(hDev, szAppName, phApplication);
    }
    ULONG CloseApplication(HAPPLICATION hApplication) override {
        return SKF_CloseApplication(hApplication);
    }
    ULONG VerifyPIN(HAPPLICATION hApplication, ULONG ulPINType, LPSTR szPIN,
                    ULONG* pulRetryCount) override {
        return SKF_VerifyPIN(hApplication, ulPINType, szPIN, pulRetryCount);
    }
    ULONG OpenContainer(HAPPLICATION hApplication, LPSTR szContainerName,
                        HCONTAINER* phContainer) override {
        return SKF_OpenContainer(hApplication, szContainerName, phContainer);
    }
    ULONG CloseContainer(HCONTAINER hContainer) override { return SKF_CloseContainer(hContainer); }
    ULONG ExportCertificate(HCONTAINER hContainer, BOOL bSignFlag, BYTE* pbCert,
                            ULONG* pulCertLen) override {
        return SKF_ExportCertificate(hContainer, bSignFlag, pbCert, pulCertLen);
    }
    ULONG RSASignData(HCONTAINER hContainer, BYTE* pbData, ULONG ulDataLen, BYTE* pbSignature,
                      ULONG* pulSignLen) override {
        return SKF_RSASignData(hContainer, pbData, ulDataLen, pbSignature, pulSignLen);
    }
    ULONG ExportPublicKey(HCONTAINER hContainer, BOOL bSignFlag, BYTE* pbBlob,
                          ULONG* pulBlobLen) override {
        return SKF_ExportPublicKey(hContainer, bSignFlag, pbBlob, pulBlobLen);
    }
    ULONG RSAVerify(DEVHANDLE hDev, RSAPUBLICKEYBLOB* pRSAPubKeyBlob, BYTE* pbData,
                    ULONG ulDataLen, BYTE* pbSignature, ULONG ulSignLen) override {
        return SKF_RSAVerify(hDev, pRSAPubKeyBlob, pbData, ulDataLen, pbSignature, ulSignLen);
    }
};

}  // namespace

ISkf& SystemSkf() {
    static SystemSkfImpl skf;
    return skf;
}

}  // namespace qex
