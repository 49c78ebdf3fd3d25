#include <gtest/gtest.h>

#include "connect/data/identification.h"

using namespace kvo::connect;

namespace {

CConnectionData Table() {
    CConnectionData d;
    auto phone = [&](std::u16string name, std::u16string maker, std::u16string model) {
        CPhoneModel p;
        p.m_strName = std::move(name);
        p.m_strMakerId = std::move(maker);
        p.m_strModelId = std::move(model);
        d.AddPhone(std::move(p));
    };
    phone(u"Empty model", u"Nokia", u"");
    phone(u"Nokia 6230", u"Nokia", u"Nokia 6230");
    phone(u"Nokia 6230i", u"Nokia", u"Nokia 6230i");
    phone(u"Siemens S55", u"SIEMENS", u"S55");
    phone(u"Siemens S55 copy", u"SIEMENS", u"S55");
    auto isp = [&](std::u16string name, std::array<std::u16string, 6> ops, std::u16string sc) {
        CIspEntry e;
        e.m_strName = std::move(name);
        e.m_strOperator = std::move(ops);
        e.m_strSmsCentre = std::move(sc);
        d.AddIsp(std::move(e));
    };
    isp(u"Blank centre", {u"", u"", u"", u"", u"", u""}, u"  ");
    isp(u"T-Mobile D", {u"", u"T-Mobile D", u"", u"", u"", u"D1"}, u"+491710760000");
    isp(u"O2", {u"o2 - de"}, u"+491760000443");
    isp(u"Bare", {u"+COPS:0"}, u"");
    return d;
}

const char16_t* NameOf(const CPhoneModel* p) { return p ? p->m_strName.c_str() : u"(none)"; }

TEST(PhoneIdentification, ConnectNeedsTheExactModelTelmioAContainedOne) {
    CConnectionData d = Table();
    struct {
        std::u16string_view maker, model, connect, telmio;
    } cases[] = {
        {u"Nokia", u"Nokia 6230", u"Nokia 6230", u"Nokia 6230"},
        {u"Nokia", u"Nokia 6230i", u"Nokia 6230i", u"Nokia 6230"},  // telmio: first contained
        {u"Nokia Mobile Phones", u"Nokia 6230 (RH-12)", u"(none)", u"Nokia 6230"},
        {u"SIEMENS", u"S55", u"Siemens S55", u"Siemens S55"},       // first in file order
        {u"Siemens", u"S55", u"(none)", u"(none)"},                 // maker is case-sensitive
        {u"SIEMENS", u"s55", u"(none)", u"(none)"},
        {u"", u"S55", u"(none)", u"(none)"},
        {u"Nokia", u"", u"(none)", u"(none)"},  // an empty identifier never matches
        {u"Nokia", u"3310", u"(none)", u"(none)"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(NameOf(IdentifyPhone(d, c.maker, c.model, EDataReader::Connect)), c.connect)
            << std::string(c.maker.begin(), c.maker.end());
        EXPECT_EQ(NameOf(IdentifyPhone(d, c.maker, c.model, EDataReader::Telmio)), c.telmio)
            << std::string(c.model.begin(), c.model.end());
    }
    EXPECT_EQ(d.FindPhoneByName(u"Nokia 6230i"), d.Phones()[2].get());
    EXPECT_EQ(d.FindPhoneByName(u"nokia 6230i"), nullptr);
}

TEST(OperatorIdentification, NameWithoutSpacesElseServiceCentre) {
    CConnectionData d = Table();
    struct {
        std::u16string_view cops, csca;
        EOperatorResult result;
        std::u16string_view isp;
    } cases[] = {
        {u"+COPS: 0,0,\"T-Mobile D\"", u"+CSCA: \"+491760000443\",145", EOperatorResult::Found,
         u"T-Mobile D"},  // the name wins over the centre
        {u"+COPS: 0,0,\"T-Mo bile  D\"", u"", EOperatorResult::Found, u"T-Mobile D"},
        {u"+COPS: 0,0,\"D1\"", u"", EOperatorResult::Found, u"T-Mobile D"},
        {u"+COPS: 0,0,\"o2-de\"", u"", EOperatorResult::Found, u"O2"},
        {u"+COPS: 0,0,\"\"", u"+CSCA: \"+49 176 0000443\",145", EOperatorResult::Found, u"O2"},
        {u"", u"+CSCA: \"+491710760000\",145", EOperatorResult::Found, u"T-Mobile D"},
        {u"+COPS: 0,0,\"Unknown Net\"", u"+CSCA: \"+491710760000\",145",
         EOperatorResult::NotFound, u""},  // a name that matches nothing: no centre fallback
        {u"", u"+CSCA: \"+999\",145", EOperatorResult::NotFound, u""},
        {u"", u"", EOperatorResult::NoReplies, u""},
        {u"+COPS: 0,0,\"   \"", u" ", EOperatorResult::NoReplies, u""},
    };
    for (EDataReader rule : {EDataReader::Connect, EDataReader::Telmio}) {
        for (const auto& c : cases) {
            const CIspEntry* found = reinterpret_cast<const CIspEntry*>(1);
            EXPECT_EQ(IdentifyOperator(d, c.cops, c.csca, rule, &found), c.result)
                << std::string(c.cops.begin(), c.cops.end());
            EXPECT_EQ(found ? std::u16string_view(found->m_strName) : u"", c.isp);
        }
    }
}

TEST(OperatorIdentification, AReplyWithoutQuotesDiffersBetweenThePrograms) {
    CConnectionData d = Table();
    // Not registered: no quoted name. connect compares the whole reply, telmio nothing and
    // falls back to the service centre.
    EXPECT_EQ(OperatorReplyText(u"+COPS: 0", EDataReader::Connect), u"+COPS:0");
    EXPECT_EQ(OperatorReplyText(u"+COPS: 0", EDataReader::Telmio), u"");
    EXPECT_EQ(OperatorReplyText(u"x\"a b", EDataReader::Telmio), u"ab");
    const CIspEntry* found = nullptr;
    EXPECT_EQ(IdentifyOperator(d, u"+COPS: 0", u"+CSCA: \"+491710760000\",145",
                               EDataReader::Connect, &found),
              EOperatorResult::Found);
    EXPECT_EQ(found->m_strName, u"Bare");
    EXPECT_EQ(IdentifyOperator(d, u"+COPS: 0", u"+CSCA: \"+491710760000\",145",
                               EDataReader::Telmio, &found),
              EOperatorResult::Found);
    EXPECT_EQ(found->m_strName, u"T-Mobile D");
    EXPECT_EQ(IdentifyOperator(d, u"+COPS: 0", u"", EDataReader::Telmio, &found),
              EOperatorResult::NoReplies);
    EXPECT_EQ(d.FindIspByName(u"O2"), d.Isps()[2].get());
}

}  // namespace
