#include "install/core/install_texts.h"

#include <array>
#include <cctype>

namespace kvo::install {
namespace {

constexpr size_t kTexts = size_t(Text::Installing) + 1;
using Table = std::array<const char*, kTexts>;

// In the order of Text.
const Table kEnglish = {
    "Language",
    "Please select the install language:",
    "Next",
    "Cancel",
    "Information",
    "Please install the software into the main memory of your Pocket PC.\n\n"
    "Connect your Pocket PC to this computer through ActiveSync and press 'Next'.\n\n"
    "The following products will be installed:\n  Orvane Updater\n  Orvane kvonet pro\n\n"
    "You will find the manual on our web site www.orvane.invalid.",
    "Licence agreement",
    "Orvane kvonet pro is licensed, not sold, to one person for use on one Pocket PC. You may "
    "not copy, rent or pass on the software except as this agreement allows. The software is "
    "provided as is; Orvane is not liable for lost data or connection charges.\n\n"
    "Press 'Next' to accept this agreement.",
    "Initialization...",
    "Try to establish connection...",
    "There is no connection to the Pocket PC possible.\n"
    "Please check that you have an ActiveSync connection established.",
    "Connection could not be established.\nTry again?",
    "Installation error:\nCan not detect Pocket PC operating system.",
    "The detected operating system WM2002 on your Pocket PC is not supported anymore.\n"
    "Please perform an upgrade to WM2003.",
    "Error - Installation failed!",
    "Congratulation! You have successfully installed the software.\n"
    "For further steps look on the display of your Pocket PC.",
    "Installing, please wait...",
};

const Table kGerman = {
    "Sprache",
    "Bitte wählen Sie die Installationssprache:",
    "Weiter",
    "Abbrechen",
    "Information",
    "Bitte installieren Sie die Software in den Hauptspeicher Ihres Pocket PC.\n\n"
    "Verbinden Sie Ihren Pocket PC über ActiveSync mit diesem Computer und drücken Sie "
    "'Weiter'.\n\nFolgende Produkte werden installiert:\n  Orvane Updater\n  Orvane kvonet pro\n\n"
    "Das Handbuch finden Sie auf unserer Webseite www.orvane.invalid.",
    "Lizenzvereinbarung",
    "Orvane kvonet pro wird einer Person zur Nutzung auf einem Pocket PC lizenziert, nicht "
    "verkauft. Sie dürfen die Software nur so kopieren, vermieten oder weitergeben, wie diese "
    "Vereinbarung es erlaubt. Die Software wird ohne Gewähr geliefert; Orvane haftet nicht für "
    "verlorene Daten oder Verbindungskosten.\n\n"
    "Drücken Sie 'Weiter', um die Vereinbarung anzunehmen.",
    "Initialisierung...",
    "Verbindung wird hergestellt...",
    "Es ist keine Verbindung zum Pocket PC möglich.\n"
    "Bitte prüfen Sie, ob eine ActiveSync-Verbindung besteht.",
    "Die Verbindung konnte nicht hergestellt werden.\nNochmals versuchen?",
    "Installationsfehler:\nDas Betriebssystem des Pocket PC wurde nicht erkannt.",
    "Das erkannte Betriebssystem WM2002 auf Ihrem Pocket PC wird nicht mehr unterstützt.\n"
    "Bitte führen Sie ein Upgrade auf WM2003 durch.",
    "Fehler - Installation fehlgeschlagen!",
    "Herzlichen Glückwunsch! Die Software wurde erfolgreich installiert.\n"
    "Die weiteren Schritte sehen Sie auf dem Display Ihres Pocket PC.",
    "Installation läuft, bitte warten...",
};

const Table kFrench = {
    "Langue",
    "Veuillez choisir la langue d'installation :",
    "Suivant",
    "Annuler",
    "Information",
    "Veuillez installer le logiciel dans la mémoire principale de votre Pocket PC.\n\n"
    "Connectez votre Pocket PC à cet ordinateur par ActiveSync et appuyez sur 'Suivant'.\n\n"
    "Les produits suivants seront installés :\n  Orvane Updater\n  Orvane kvonet pro\n\n"
    "Vous trouverez le manuel sur notre site www.orvane.invalid.",
    "Contrat de licence",
    "Orvane kvonet pro est concédé sous licence, et non vendu, à une personne pour un Pocket "
    "PC. Vous ne pouvez copier, louer ou céder le logiciel que dans les limites de ce contrat. "
    "Le logiciel est fourni tel quel ; Orvane n'est pas responsable des données perdues ni des "
    "frais de connexion.\n\nAppuyez sur 'Suivant' pour accepter ce contrat.",
    "Initialisation...",
    "Tentative de connexion...",
    "Aucune connexion au Pocket PC n'est possible.\n"
    "Veuillez vérifier qu'une connexion ActiveSync est établie.",
    "La connexion n'a pas pu être établie.\nRéessayer ?",
    "Erreur d'installation :\nLe système d'exploitation du Pocket PC n'a pas été détecté.",
    "Le système d'exploitation WM2002 détecté sur votre Pocket PC n'est plus pris en charge.\n"
    "Veuillez effectuer une mise à niveau vers WM2003.",
    "Erreur - L'installation a échoué !",
    "Félicitations ! Le logiciel a été installé avec succès.\n"
    "Pour la suite, regardez l'écran de votre Pocket PC.",
    "Installation en cours, veuillez patienter...",
};

const Table kItalian = {
    "Lingua",
    "Selezionare la lingua di installazione:",
    "Avanti",
    "Annulla",
    "Informazioni",
    "Installare il software nella memoria principale del Pocket PC.\n\n"
    "Collegare il Pocket PC a questo computer tramite ActiveSync e premere 'Avanti'.\n\n"
    "Verranno installati i seguenti prodotti:\n  Orvane Updater\n  Orvane kvonet pro\n\n"
    "Il manuale si trova sul nostro sito www.orvane.invalid.",
    "Contratto di licenza",
    "Orvane kvonet pro viene concesso in licenza, non venduto, a una persona per l'uso su un "
    "Pocket PC. Il software può essere copiato, noleggiato o ceduto solo come previsto da "
    "questo contratto. Il software è fornito così com'è; Orvane non risponde di dati persi o "
    "costi di connessione.\n\nPremere 'Avanti' per accettare il contratto.",
    "Inizializzazione...",
    "Tentativo di connessione...",
    "Nessuna connessione possibile con il Pocket PC.\n"
    "Verificare che sia attiva una connessione ActiveSync.",
    "Impossibile stabilire la connessione.\nRiprovare?",
    "Errore di installazione:\nImpossibile rilevare il sistema operativo del Pocket PC.",
    "Il sistema operativo WM2002 rilevato sul Pocket PC non è più supportato.\n"
    "Eseguire un aggiornamento a WM2003.",
    "Errore - Installazione non riuscita!",
    "Congratulazioni! Il software è stato installato correttamente.\n"
    "Per i passi successivi guardare il display del Pocket PC.",
    "Installazione in corso, attendere...",
};

const Table kDutch = {
    "Taal",
    "Kies de installatietaal:",
    "Volgende",
    "Annuleren",
    "Informatie",
    "Installeer de software in het hoofdgeheugen van uw Pocket PC.\n\n"
    "Verbind uw Pocket PC via ActiveSync met deze computer en druk op 'Volgende'.\n\n"
    "De volgende producten worden geïnstalleerd:\n  Orvane Updater\n  Orvane kvonet pro\n\n"
    "De handleiding vindt u op onze website www.orvane.invalid.",
    "Licentieovereenkomst",
    "Orvane kvonet pro wordt in licentie gegeven, niet verkocht, aan één persoon voor gebruik op "
    "één Pocket PC. U mag de software alleen kopiëren, verhuren of doorgeven zoals deze "
    "overeenkomst toestaat. De software wordt geleverd zoals hij is; Orvane is niet "
    "aansprakelijk voor verloren gegevens of verbindingskosten.\n\n"
    "Druk op 'Volgende' om de overeenkomst te aanvaarden.",
    "Initialisatie...",
    "Verbinding wordt opgebouwd...",
    "Er is geen verbinding met de Pocket PC mogelijk.\n"
    "Controleer of er een ActiveSync-verbinding is.",
    "De verbinding kon niet worden opgebouwd.\nOpnieuw proberen?",
    "Installatiefout:\nHet besturingssysteem van de Pocket PC is niet herkend.",
    "Het gevonden besturingssysteem WM2002 op uw Pocket PC wordt niet meer ondersteund.\n"
    "Voer een upgrade naar WM2003 uit.",
    "Fout - Installatie mislukt!",
    "Gefeliciteerd! De software is met succes geïnstalleerd.\n"
    "Kijk voor de volgende stappen op het scherm van uw Pocket PC.",
    "Bezig met installeren, even geduld...",
};

struct LanguageRow {
    Language language;
    const char* code;
    const char* suffix;
    const Table* table;
};

const LanguageRow kLanguages[] = {
    {Language::German, "german", "_Ger.bin", &kGerman},
    {Language::English, "english", "_Eng.bin", &kEnglish},
    {Language::French, "french", "_Fra.bin", &kFrench},
    {Language::Italian, "italian", "_Ita.bin", &kItalian},
    {Language::Dutch, "dutch", "_Dut.bin", &kDutch},
};

const LanguageRow& Row(Language language) {
    for (const LanguageRow& r : kLanguages)
        if (r.language == language)
            return r;
    return kLanguages[1];
}

}  // namespace

std::string LoadText(Language language, Text id) {
    return (*Row(language).table)[size_t(id)];
}

std::string LanguageName(Language shownIn, Language language) {
    // Rows: the language shown in; columns: German, English, French, Italian, Dutch.
    static const char* const kNames[5][5] = {
        {"Deutsch", "Englisch", "Französisch", "Italienisch", "Niederländisch"},
        {"German", "English", "French", "Italian", "Dutch"},
        {"Allemand", "Anglais", "Français", "Italien", "Néerlandais"},
        {"Tedesco", "Inglese", "Francese", "Italiano", "Olandese"},
        {"Duits", "Engels", "Frans", "Italiaans", "Nederlands"},
    };
    return kNames[int(shownIn)][int(language)];
}

const std::vector<Language>& LanguageChoices() {
    static const std::vector<Language> order = {
        Language::English, Language::German, Language::Dutch, Language::French, Language::Italian};
    return order;
}

std::optional<Language> ParseLanguage(std::string_view name) {
    std::string lower;
    for (char c : name) lower += char(std::tolower(static_cast<unsigned char>(c)));
    for (const LanguageRow& r : kLanguages)
        if (lower == r.code)
            return r.language;
    return std::nullopt;
}

std::string LanguageCode(Language language) {
    return Row(language).code;
}

std::string PackageSuffix(Language language) {
    return Row(language).suffix;
}

}  // namespace kvo::install
